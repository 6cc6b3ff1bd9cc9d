// The phone table's spreadsheet side: its context menu imports and exports CSV files
// (store/phone_csv.h), a paste of several lines fills the slots from the top of the
// selection down, and a copy of several selected rows puts their texts on the clipboard as
// lines. Shift with Up, Down, the page keys or a click selects several rows. A paste or
// copy of a single line is left to the line editor as before. Every handler runs in the
// window's error guard; boxes and dialogs go through the window's layer.
#pragma once

#include <QObject>
#include <vector>

class QAction;
class QKeyEvent;
class QMouseEvent;
class QContextMenuEvent;

namespace varnix {

class ErrorReport;
class FileDialogs;
class MessageBoxes;
class PhoneGrid;

class PhoneTableCsv : public QObject {
    Q_OBJECT
  public:
    // Installs itself on the grid and its editor and lives as long as the grid. Install it
    // after the editor's key filter, so that it sees a paste first.
    PhoneTableCsv(PhoneGrid* grid, MessageBoxes& boxes, FileDialogs& dialogs, ErrorReport& report);

    QAction* ImportAction() const { return import_; }
    QAction* ExportAction() const { return export_; }

    // "Import CSV...": all 500 slots from the chosen file, or none when it is refused.
    void ImportCsv();
    // "Export CSV...": the slots into the chosen file, ".csv" appended when missing.
    void ExportCsv();
    // The clipboard's lines into the slots; false for a text without a line end, which
    // goes on to the editor.
    bool PasteLines();
    // The selected rows' texts as lines; false when fewer than two rows are selected.
    bool CopyRows();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool KeyPress(QKeyEvent* event);
    bool ShiftClick(QMouseEvent* event);
    void EditorMenu(QContextMenuEvent* event);
    // Makes `row` current and selects the rows from the anchor to it.
    void ExtendTo(int row);
    // The selected rows, 1 to 500, in order.
    std::vector<int> SelectedRows() const;

    PhoneGrid* grid_;
    MessageBoxes& boxes_;
    FileDialogs& dialogs_;
    ErrorReport& report_;
    QAction* import_;
    QAction* export_;
    // Where a selection of several rows starts: the row last made current by anything but
    // a Shift move.
    int anchor_ = 1;
    bool extending_ = false;
};

}  // namespace varnix
