// The phone table: 2 columns by 501 rows, row 0 and column 0 fixed as headers (the slot
// numbers are the row header), only the number cells of rows 1 to 500 selectable. The
// current cell is always being edited: one line editor sits over it, opens with the
// whole text selected and hands every change to the window at once.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <functional>

namespace varnix {

class PhoneGrid : public QTableWidget {
    Q_OBJECT
  public:
    static constexpr int kRows = 501;  // with the header row
    static constexpr int kRowHeight = 20;

    explicit PhoneGrid(QWidget* parent);

    // Column 0 holds the slot numbers, row 0 the header texts.
    QString Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

    int CurrentRow() const { return currentRow() + 1; }
    void SetCurrentRow(int row);
    QLineEdit* Editor() const { return editor_; }
    // Puts the current cell's text back into the editor, refusing the editor's change.
    void RevertEdit();

    // Called with each change of the editor's text: column, row and the new text.
    std::function<void(int, int, const QString&)> onEditText;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void PlaceEditor();
    int RowsPerPage() const;

    QLineEdit* editor_;
    QLabel* corner_;
};

}  // namespace varnix
