// The keyboard under a real X server: keys pressed through the X keyboard, so they arrive
// with the text X gives them (Delete as U+007F, Backspace as U+0008), and the focus moves
// as the X server and Qt's xcb platform move it.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <filesystem>

#include "main_window_fixture.h"
#include "x_keyboard.h"

namespace varnix {
namespace {

class XServerInputTest : public testing::MainWindowFixture {
  protected:
    void SetUp() override {
        if (!keys.Ready()) {
            GTEST_SKIP() << "needs an X server with XTEST (QT_QPA_PLATFORM=xcb)";
        }
    }
    // Types into `field` after putting its cursor at the start or the end.
    void Edit(QLineEdit* field, const QString& text, bool cursorAtStart,
              std::initializer_list<const char*> keysyms) {
        field->setFocus();
        field->setText(text);
        field->setCursorPosition(cursorAtStart ? 0 : static_cast<int>(text.size()));
        for (const char* keysym : keysyms) {
            ASSERT_TRUE(keys.Tap(keysym)) << keysym;
        }
    }
    QWidget* Focused() const { return QApplication::focusWidget(); }

    testing::XKeyboard keys;
};

TEST_F(XServerInputTest, DeleteArrowsAndBackspaceEditEveryKindOfField) {
    QLineEdit* timeout = form1->Edit1;
    Edit(timeout, "12345", true, {"Delete", "Right", "Delete", "End", "BackSpace", "Home", "3"});
    EXPECT_EQ(timeout->text(), "324");

    // Delete shortens a full password field, and a digit then fits again.
    QLineEdit* password = form1->Edit2;
    Edit(password, "7093", true, {"Delete", "End", "5"});
    EXPECT_EQ(password->text(), "0935");
    Edit(password, "7093", false, {"BackSpace", "BackSpace", "Left", "Delete", "8"});
    EXPECT_EQ(password->text(), "78");

    PhoneGrid* grid = form1->StringGrid1;
    grid->SetCell(1, 10, "+38512");
    grid->SetCurrentRow(11);
    grid->setFocus();
    ASSERT_TRUE(keys.Tap("Up"));
    EXPECT_EQ(grid->CurrentRow(), 10);
    for (const char* keysym : {"Home", "Delete", "End", "Left", "BackSpace", "Next", "Prior"}) {
        ASSERT_TRUE(keys.Tap(keysym)) << keysym;
    }
    EXPECT_EQ(Cell(10), "3852");
    EXPECT_EQ(grid->CurrentRow(), 10);
    EXPECT_TRUE(messages.empty());
}

TEST_F(XServerInputTest, TabAndShiftTabVisitEveryStopInOrder) {
    QLineEdit* editor = form1->StringGrid1->Editor();
    const std::vector<QWidget*> stops = {
        form1->Edit1,
        editor,
        Button("Load From File..."),
        Button("Write To File..."),
        Button("Load From Device"),
        Button("Write To Device"),
        Button("Crear All"),
        Button("Configure Port..."),
        form1->Edit2,
        Button("SET"),
        Button("GET"),
        form1->Edit1,
    };
    form1->Edit1->setFocus();
    ASSERT_TRUE(keys.Tap("Tab"));
    EXPECT_EQ(Focused(), editor);
    // Inside the table Tab and Shift+Tab move between the rows, wrapping at both ends.
    ASSERT_TRUE(keys.Tap("Tab", true));
    EXPECT_EQ(form1->StringGrid1->CurrentRow(), 500);
    ASSERT_TRUE(keys.Tap("Tab"));
    EXPECT_EQ(form1->StringGrid1->CurrentRow(), 1);
    EXPECT_EQ(Focused(), editor);

    stops[2]->setFocus();
    for (std::size_t i = 3; i < stops.size(); ++i) {
        ASSERT_TRUE(keys.Tap("Tab"));
        EXPECT_EQ(Focused(), stops[i]) << "stop " << i;
    }
    // Shift+Tab from the last button goes back into the table.
    for (std::size_t i = stops.size() - 1; i-- > 1;) {
        ASSERT_TRUE(keys.Tap("Tab", true));
        EXPECT_EQ(Focused(), stops[i]) << "stop " << i;
    }
}

TEST_F(XServerInputTest, PortDialogShowsCentredAndEscapeLeavesItLikeTheCloseBox) {
    form1->move(0, 0);
    form2->ComboBox1->setCurrentIndex(0);
    form1->Session().Transfer().PortReady = true;
    form2->show();
    // With no window manager to do it, the test hands the dialog the keyboard.
    form2->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == form2.get(); }));
    QTest::qWait(50);  // the second placement, once the showing has settled
    const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form2->frameGeometry().center() - middle).manhattanLength(), 2);

    ASSERT_TRUE(keys.Tap("Down"));
    ASSERT_TRUE(keys.Tap("Escape"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form2->isVisible(); }, 5000));
    EXPECT_EQ(form2->ChosenPortName(), "COM2");
    EXPECT_TRUE(form1->Session().PortReady());
    EXPECT_FALSE(std::filesystem::exists(sandbox.Folder() / "user.reg"));
}

}  // namespace
}  // namespace varnix
