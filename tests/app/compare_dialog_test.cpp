// "Compare With Device..." of the phone table's menu against the virtual relay device on
// a pseudo-terminal linked as COM1: the dialog lists where the device and the window
// differ, a double-click shows the slot, and the window's values never change.
#include <gtest/gtest.h>

#include <QAction>
#include <QTest>

#include "compare_dialog.h"
#include "device_window_fixture.h"

namespace varnix {
namespace {

constexpr int kTransferMs = 20000;

class CompareDialogTest : public testing::DeviceWindowFixture {
  protected:
    void Compare() {
        for (QAction* action : form1->StringGrid1->actions()) {
            if (action->text() == "Compare With Device...") {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no menu entry Compare With Device...";
    }
    // Double-clicks the dialog's row as a hand does: a click, then the second press.
    void DoubleClick(int row) {
        QTableWidget* list = Dialog()->Differences;
        const QPoint at = list->visualItemRect(list->item(row, 1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    CompareDialog* Dialog() const { return form1->findChild<CompareDialog*>(); }
    bool WaitForDialog() {
        return QTest::qWaitFor([&] { return Dialog() != nullptr && Dialog()->isVisible(); },
                               kTransferMs);
    }
    std::vector<std::string> Row(int row) const {
        std::vector<std::string> texts;
        for (int col = 0; col < 3; ++col) {
            texts.push_back(Dialog()->Differences->item(row, col)->text().toStdString());
        }
        return texts;
    }
};

TEST_F(CompareDialogTest, ListsTheDifferencesAndShowsAChosenSlot) {
    FillGeneratedNumbers(state, 12);
    state.timeoutMs = 250;
    state.externalDisconnect = true;
    Device();
    for (int slot = 1; slot <= 11; ++slot) {
        form1->StringGrid1->SetCell(1, slot, QString::fromStdString(GeneratedNumber(slot)));
    }
    form1->StringGrid1->SetCell(1, 5, "+555");
    form1->StringGrid1->SetCell(1, 300, "+300");
    form1->Edit1->setText("0250");

    Compare();
    EXPECT_EQ(form1->StatusText(), "Communications...");
    ASSERT_TRUE(WaitForDialog());
    CompareDialog* dialog = Dialog();
    EXPECT_EQ(dialog->windowTitle(), "Compare With Device");
    EXPECT_EQ(dialog->parent(), form1.get());
    ASSERT_EQ(dialog->Differences->rowCount(), 4);
    EXPECT_EQ(Row(0), (std::vector<std::string>{"External disconnection", "on", "off"}));
    EXPECT_EQ(Row(1), (std::vector<std::string>{"5", GeneratedNumber(5), "+555"}));
    EXPECT_EQ(Row(2), (std::vector<std::string>{"12", GeneratedNumber(12), "(empty)"}));
    EXPECT_EQ(Row(3), (std::vector<std::string>{"300", "(empty)", "+300"}));
    // The window still shows its own values.
    EXPECT_EQ(Cell(5), "+555");
    EXPECT_EQ(Cell(12), "");
    EXPECT_EQ(Cell(300), "+300");
    EXPECT_EQ(form1->Edit1->text(), "0250");
    EXPECT_FALSE(form1->CheckBox1->isChecked());
    EXPECT_TRUE(messages.empty());

    // A double-click on slot 300's row selects its cell and scrolls the table to it.
    DoubleClick(3);
    PhoneGrid* grid = form1->StringGrid1;
    EXPECT_EQ(grid->CurrentRow(), 300);
    EXPECT_TRUE(grid->item(299, 0)->isSelected());
    EXPECT_TRUE(grid->viewport()->rect().contains(grid->visualItemRect(grid->item(299, 0))));
    // The rows of the flag leave the table where it is.
    DoubleClick(0);
    EXPECT_EQ(grid->CurrentRow(), 300);

    // Once the window shows what the device holds, the dialog says so.
    form1->StringGrid1->SetCell(1, 5, QString::fromStdString(GeneratedNumber(5)));
    form1->StringGrid1->SetCell(1, 12, QString::fromStdString(GeneratedNumber(12)));
    form1->StringGrid1->SetCell(1, 300, "");
    form1->CheckBox1->setChecked(true);
    dialog->close();
    Compare();
    ASSERT_TRUE(WaitForDialog());
    EXPECT_EQ(Dialog(), dialog);
    EXPECT_EQ(dialog->Summary->text(), CompareDialog::kSame);
    EXPECT_EQ(dialog->Differences->rowCount(), 0);

    // A plain "Load From Device" fills the window and brings up no comparison.
    dialog->close();
    form1->StringGrid1->SetCell(1, 12, "");
    LoadFromDevice();
    EXPECT_EQ(form1->StatusText(), "Communications...");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form1->Session().Busy(); }, kTransferMs));
    EXPECT_EQ(Cell(12), GeneratedNumber(12));
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(CompareDialogTest, FailedReadShowsNoDialog) {
    FillGeneratedNumbers(state, 3);
    DeviceBehaviour silent;
    silent.silent = true;
    Device(silent);
    form1->StringGrid1->SetCell(1, 1, "+1");
    Compare();
    ASSERT_TRUE(WaitForStatus("Connection failure,Please try again.", kTransferMs));
    QTest::qWait(1000);
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Cell(1), "+1");
    EXPECT_EQ(form1->Edit1->text(), "1");
}

}  // namespace
}  // namespace varnix
