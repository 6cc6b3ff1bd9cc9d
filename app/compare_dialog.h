// The dialog "Compare With Device": where the configuration just read from the device
// differs from what the main window shows, one row per difference (what differs, the
// device's value, the window's), or a line saying that they hold the same. A double-click
// on a slot's row asks the window to show that slot. It is not modal and changes nothing.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <vector>

#include "config_comparison.h"

namespace varnix {

class CompareDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr char kSame[] = "The device holds what the window shows.";

    explicit CompareDialog(QWidget* parent);

    // Fills the dialog with `differences` (the device's side first) and brings it up.
    void ShowDifferences(const std::vector<ConfigDifference>& differences);

    QLabel* Summary;
    QTableWidget* Differences;
    QPushButton* CloseButton;

  signals:
    // A slot's row was double-clicked: 1 to 500.
    void slotChosen(int slot);

  private:
    // The slot of each row, 0 for the time-out's and the flag's.
    std::vector<int> slots_;
};

}  // namespace varnix
