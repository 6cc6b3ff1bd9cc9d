#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QTest>

#include "main_window_fixture.h"

namespace varnix {
namespace {

using MainWindowTest = testing::MainWindowFixture;

TEST_F(MainWindowTest, StartUpState) {
    TForm1& f = *form1;
    EXPECT_EQ(f.windowTitle(), "Varnix V.1.2");
    EXPECT_EQ(f.StringGrid1->Cell(0, 0), "Nr.");
    EXPECT_EQ(f.StringGrid1->Cell(1, 0), "Phone Number");
    for (int row = 1; row <= 500; ++row) {
        ASSERT_EQ(f.StringGrid1->Cell(0, row), QString::number(row));
        ASSERT_EQ(Cell(row), "");
    }
    EXPECT_EQ(f.Edit1->text(), "1");
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_FALSE(f.CheckBox1->isEnabled());
    EXPECT_EQ(f.Edit2->text(), "7093");
    EXPECT_EQ(f.Label3->text(), "");
    EXPECT_EQ(f.StatusText(), "Status bar .....");
    EXPECT_FALSE(f.Session().Timer().Enabled());
    EXPECT_EQ(f.Session().Timer().Interval(), 500);
    EXPECT_FALSE(f.Session().PortReady());
    EXPECT_EQ(f.Session().Transfer().TransferMode, TransferState::Idle);
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(f.Session().Comm().CommName(), "COM1");
    EXPECT_EQ(f.Session().Comm().DtrControl(), TDtrControl::DtrHandshake);
    EXPECT_EQ(f.Session().Comm().RtsControl(), TRtsControl::RtsDisable);
    EXPECT_EQ(f.Session().Comm().XonChar(), '0');

    EXPECT_EQ(f.centralWidget()->size(), QSize(345, 609));
    EXPECT_EQ(f.GroupBox3->geometry(), QRect(8, 216, 329, 299));
    EXPECT_EQ(f.StringGrid1->geometry(), QRect(8, 15, 313, 277));
    EXPECT_EQ(f.Edit1->geometry(), QRect(168, 24, 57, 21));
    EXPECT_EQ(f.BitBtn4->geometry(), QRect(168, 550, 129, 25));
    EXPECT_EQ(f.BitBtn5->text(), "Crear All");
    EXPECT_EQ(f.StatusBar1->height(), 19);

    // Focus order: Edit1, phones, the six buttons, password, SET, GET.
    EXPECT_EQ(f.Edit1->nextInFocusChain(), f.StringGrid1);
    EXPECT_EQ(Button("Configure Port...")->nextInFocusChain(), f.Edit2);
    EXPECT_EQ(f.Edit2->nextInFocusChain(), Button("SET"));
}

TEST_F(MainWindowTest, AssistiveTechnologyFindsEveryControlByItsText) {
    auto name = [](QObject* object) {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(form1->BitBtn3), "Load From Device");
    EXPECT_EQ(name(form1->GroupBox2), "Relay Setting");
    EXPECT_EQ(name(form1->Edit1), "Relay TimeOut(ms):");
    EXPECT_EQ(name(form1->CheckBox1), "Enable External Disconnection:");
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(form1->StringGrid1);
    ASSERT_NE(table->tableInterface(), nullptr);
    form1->StringGrid1->SetCell(1, 3, "+385");
    EXPECT_EQ(table->tableInterface()->cellAt(2, 0)->text(QAccessible::Name), "+385");
    // The status line is a label in the status bar, read like any label.
    EXPECT_TRUE(form1->StatusBar1->isAncestorOf(form1->StatusPanel));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form1->StatusPanel)->role(),
              QAccessible::StaticText);
    EXPECT_EQ(name(form1->StatusPanel), "Status bar .....");
}

TEST_F(MainWindowTest, PhoneKeyFilterAndThirteenCharacterRule) {
    PhoneGrid* grid = form1->StringGrid1;
    QLineEdit* editor = grid->Editor();
    grid->SetCurrentRow(42);
    editor->setFocus();
    QTest::keyClicks(editor, "a -*#+12");
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    QApplication::clipboard()->setText("999");
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClicks(editor, "3+4");
    EXPECT_EQ(Cell(42), "+123+4");
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(Cell(42), "+123+");

    QTest::keyClicks(editor, "12345678");  // 13 characters now
    EXPECT_EQ(Cell(42), "+123+12345678");
    QTest::keyClicks(editor, "9");
    EXPECT_EQ(Cell(42), "+123+12345678");
    EXPECT_EQ(grid->CurrentRow(), 43);
    QTest::keyClicks(editor, "5");
    EXPECT_EQ(Cell(43), "5");

    grid->SetCurrentRow(500);
    QTest::keyClicks(editor, "12345678901234");
    EXPECT_EQ(Cell(500), "1234567890123");
    EXPECT_EQ(grid->CurrentRow(), 500);
}

// A key typing a character outside Latin-1 reaches the filter as '?', also where the
// character takes two UTF-16 units (U+1F600), and is refused like any letter.
TEST_F(MainWindowTest, PhoneKeyFilterRefusesCharactersOutsideLatin1) {
    PhoneGrid* grid = form1->StringGrid1;
    QLineEdit* editor = grid->Editor();
    grid->SetCurrentRow(9);
    editor->setFocus();
    QTest::keyClicks(editor, "12");
    for (const QString& text : {QString::fromUtf16(u"\u00E9"), QString::fromUtf16(u"\u20AC"),
                                QString::fromUtf16(u"\U0001F600")}) {
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, text, Qt::NoModifier);
    }
    QTest::keyClicks(editor, "3");
    EXPECT_EQ(Cell(9), "123");
}

// The window's texts are UTF-8 on the program's side of the widgets: a slot set to
// "café" shows café, and what a cell shows comes back as UTF-8.
TEST_F(MainWindowTest, SlotTextsCrossTheWidgetsAsUtf8) {
    ConfigValues& screen = form1->Screen();
    screen.SetPhoneText(7, "caf\xC3\xA9");
    EXPECT_EQ(form1->StringGrid1->Cell(1, 7), QString::fromUtf16(u"caf\u00E9"));
    EXPECT_EQ(screen.PhoneText(7), "caf\xC3\xA9");
    form1->StringGrid1->SetCell(1, 8, QString::fromUtf16(u"\u0416\u03C0+1"));  // Жπ+1
    EXPECT_EQ(screen.PhoneText(8), "\xD0\x96\xCF\x80+1");
}

TEST_F(MainWindowTest, GridNavigation) {
    PhoneGrid* grid = form1->StringGrid1;
    QLineEdit* editor = grid->Editor();
    grid->SetCurrentRow(499);
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(grid->CurrentRow(), 500);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(grid->CurrentRow(), 500);
    EXPECT_EQ(Cell(500), "");
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(grid->CurrentRow(), 1);
    QTest::keyClick(editor, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid->CurrentRow(), 500);
    QTest::keyClick(editor, Qt::Key_Up);
    EXPECT_EQ(grid->CurrentRow(), 499);
    QTest::keyClick(editor, Qt::Key_PageUp);
    EXPECT_LT(grid->CurrentRow(), 499);
    QTest::keyClick(editor, Qt::Key_PageDown);
    EXPECT_EQ(grid->CurrentRow(), 499);
    EXPECT_TRUE(editor->hasFocus());

    // Entering a cell by keyboard selects its text: a digit replaces it.
    grid->SetCell(1, 10, "+3851234");
    grid->SetCurrentRow(9);
    QTest::keyClick(editor, Qt::Key_Down);
    EXPECT_EQ(editor->selectedText(), "+3851234");
    QTest::keyClicks(editor, "7");
    EXPECT_EQ(Cell(10), "7");
    // Delete and the arrows edit as usual.
    QTest::keyClicks(editor, "89");
    QTest::keyClick(editor, Qt::Key_Left);
    QTest::keyClick(editor, Qt::Key_Delete);
    EXPECT_EQ(Cell(10), "78");
}

TEST_F(MainWindowTest, TimeoutAndPasswordFilters) {
    QLineEdit* edit1 = form1->Edit1;
    edit1->setFocus();
    edit1->selectAll();
    QTest::keyClicks(edit1, "1a2 -3");
    QApplication::clipboard()->setText("77");
    QTest::keyClick(edit1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit1->text(), "123");

    QLineEdit* edit2 = form1->Edit2;
    edit2->setFocus();
    edit2->selectAll();
    QTest::keyClicks(edit2, "5");  // four digits already: nothing, even over a selection
    EXPECT_EQ(edit2->text(), "7093");
    edit2->end(false);
    QTest::keyClick(edit2, Qt::Key_Backspace);
    EXPECT_EQ(edit2->text(), "709");
    QTest::keyClicks(edit2, "x+8");
    EXPECT_EQ(edit2->text(), "7098");
    QTest::keyClick(edit2, Qt::Key_V, Qt::ControlModifier);
    edit2->home(false);
    QTest::keyClick(edit2, Qt::Key_Delete);
    EXPECT_EQ(edit2->text(), "098");
}

TEST_F(MainWindowTest, TimeoutRangeRuleWhenFocusLeaves) {
    QLineEdit* edit1 = form1->Edit1;
    auto leaveWith = [&](const QString& text) {
        edit1->setFocus(Qt::TabFocusReason);
        edit1->setText(text);
        form1->Edit2->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        return edit1->text();
    };
    EXPECT_EQ(leaveWith("59999"), "59999");
    EXPECT_EQ(leaveWith("60000"), "1000");
    EXPECT_EQ(leaveWith("0059"), "0059");
    EXPECT_EQ(leaveWith("99999999999"), "99999999999");
    EXPECT_EQ(leaveWith(""), "");
    EXPECT_EQ(Texts(), (std::vector<std::string>{"'99999999999' is not a valid integer value.",
                                                 "'' is not a valid integer value."}));
    EXPECT_EQ(messages[0].title,
              ProgramTitle(QCoreApplication::applicationFilePath().toStdString()));
    EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
}

TEST_F(MainWindowTest, CrearAllClearsTheConfigurationOnly) {
    const std::string workFile = (sandbox.Root() / "a.mdb").string();
    form1->Dialogs().SetAnswerer([&](const FileRequest&) { return workFile; });
    Click("Load From File...");
    form1->StringGrid1->SetCell(1, 1, "1");
    form1->StringGrid1->SetCell(1, 500, "500");
    form1->Edit1->setText("250");
    form1->CheckBox1->setChecked(true);
    form1->Edit2->setText("12");
    Click("Crear All");
    EXPECT_EQ(Cell(1), "");
    EXPECT_EQ(Cell(500), "");
    EXPECT_EQ(form1->StringGrid1->Cell(0, 500), "500");
    EXPECT_EQ(form1->Edit1->text(), "0");
    EXPECT_FALSE(form1->CheckBox1->isChecked());
    EXPECT_EQ(form1->Edit2->text(), "7093");
    EXPECT_EQ(form1->Label3->text().toStdString(), workFile);
    EXPECT_EQ(form1->StatusText(), "Status bar .....");
}

// Paths travel as UTF-8 on every system: a file named outside the ANSI code page ("Жπ")
// is shown by its own name.
TEST_F(MainWindowTest, FileNamedOutsideTheCodePageIsShownByItsName) {
    const std::string name = "\xD0\x96\xCF\x80-missing.mdb";
    form1->Dialogs().SetAnswerer([&](const FileRequest&) { return name; });
    Click("Load From File...");
    EXPECT_EQ(form1->Label3->text(), QString::fromUtf8(name.c_str()));
}

TEST_F(MainWindowTest, WriteStartRefusesBadTimeoutsWithAMessage) {
    form1->Edit1->setFocus();
    form1->Edit1->setText("");
    // Pressing the button takes the focus first, so the range rule speaks first.
    QPushButton* writeToDevice = Button("Write To Device");
    QTest::mousePress(writeToDevice, Qt::LeftButton);
    QApplication::processEvents();
    QTest::mouseRelease(writeToDevice, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(Texts(), (std::vector<std::string>{"'' is not a valid integer value.",
                                                 "Please enter the digital."}));
    EXPECT_EQ(messages.back().title, "Message");
    EXPECT_EQ(messages.back().icon, MessageIcon::Stop);
    EXPECT_FALSE(form1->Session().PortReady());

    messages.clear();
    form1->Edit1->setText("70000");  // typed by hand it would have become 1000 already
    writeToDevice->click();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Relay TimeOut more than 59 seconds."});

    // Slots a file filled with what typing cannot produce: nothing is sent, the box names
    // them and the first one is selected for mending.
    messages.clear();
    form1->Edit1->setText("100");
    form1->Screen().SetPhoneText(420, "two");
    form1->Screen().SetPhoneText(480, "12345678901234567890");
    writeToDevice->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Message");
    EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(messages[0].text.starts_with("2 slots cannot go to the device: slot 420 \"two\""));
    EXPECT_EQ(form1->StringGrid1->CurrentRow(), 420);
    EXPECT_FALSE(form1->Session().PortReady());
}

}  // namespace
}  // namespace varnix
