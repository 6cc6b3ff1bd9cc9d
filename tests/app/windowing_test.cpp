#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <stdexcept>
#include <vector>

#include "error_report.h"
#include "file_dialogs.h"
#include "message_boxes.h"
#include "status_line.h"
#include "tick_timer.h"

namespace varnix {
namespace {

class WindowingTest : public ::testing::Test {
  protected:
    WindowingTest() {
        boxes.SetAnswerer([this](const MessageRequest& request) {
            shown.push_back(request);
            return MessageResult::Ok;
        });
    }
    QMainWindow window;
    MessageBoxes boxes{&window};
    ErrorReport report{boxes};
    std::vector<MessageRequest> shown;
};

TEST(ErrorReportTextTest, AppendsFullStopAfterCharactersSortingAfterIt) {
    EXPECT_EQ(ErrorReportText("'' is not a valid integer value"),
              "'' is not a valid integer value.");
    EXPECT_EQ(ErrorReportText("Done."), "Done.");
    EXPECT_EQ(ErrorReportText("Stop!"), "Stop!");     // '!' sorts before '.'
    EXPECT_EQ(ErrorReportText("a (b)"), "a (b)");     // so does ')'
    EXPECT_EQ(ErrorReportText("path/"), "path/.");    // '/' sorts after
    EXPECT_EQ(ErrorReportText("code 7"), "code 7.");  // digits too
    EXPECT_EQ(ErrorReportText("Ende\xE4"), "Ende\xE4.");
    EXPECT_EQ(ErrorReportText(""), "");
}

TEST(ProgramTitleTest, FileNameCutAtFirstDotWithLaterLettersLowered) {
    EXPECT_EQ(ProgramTitle("/usr/local/bin/Project1"), "Project1");
    EXPECT_EQ(ProgramTitle("C:\\Tools\\PROJECT1.EXE"), "Project1");
    EXPECT_EQ(ProgramTitle("my.tool.exe"), "my");
    EXPECT_EQ(ProgramTitle("Project1"), "Project1");
}

TEST_F(WindowingTest, GuardDropsSilentAbortAndReportsOtherErrorsAfterTheHandler) {
    EXPECT_FALSE(report.Guard([] { throw SilentAbort(); }));
    EXPECT_TRUE(report.Guard([] {}));
    EXPECT_FALSE(report.Guard([] { throw std::runtime_error("Boom"); }));
    EXPECT_TRUE(shown.empty()) << "the report must not run inside the dispatch";
    QCoreApplication::processEvents();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Boom.");
    EXPECT_EQ(shown[0].title, ProgramTitle(QCoreApplication::applicationFilePath().toStdString()));
    EXPECT_EQ(shown[0].icon, MessageIcon::Stop);
    EXPECT_EQ(shown[0].buttons, MessageButtons::Ok);
}

TEST_F(WindowingTest, CloseGuardCancelsTheCloseOnAbortOrError) {
    QCloseEvent aborted;
    report.GuardClose(&aborted, [] { throw SilentAbort(); });
    EXPECT_FALSE(aborted.isAccepted());
    QCloseEvent failed;
    report.GuardClose(&failed, [] { throw std::runtime_error("x"); });
    EXPECT_FALSE(failed.isAccepted());
    QCloseEvent normal;
    normal.ignore();
    report.GuardClose(&normal, [] {});
    EXPECT_TRUE(normal.isAccepted());
}

TEST_F(WindowingTest, TimerTickErrorsGoToTheReport) {
    TickTimer timer(10, report.AsEventGuard());
    timer.SetOnTick([&] {
        timer.SetEnabled(false);
        throw std::runtime_error("tick failed");
    });
    timer.SetEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shown.empty(); }, 5000));
    EXPECT_EQ(shown[0].text, "tick failed.");
}

// Presses a key in the active modal box once it is up.
void PressInModalBox(Qt::Key key, QWidget** seenParent) {
    QTimer::singleShot(0, [key, seenParent] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        *seenParent = box->parentWidget();
        QTest::keyClick(box, key);
    });
}

TEST(MessageBoxesTest, RealBoxesAreOwnedModalAndDefaultToYes) {
    QMainWindow owner;
    owner.show();
    MessageBoxes boxes(&owner);
    QWidget* parent = nullptr;

    PressInModalBox(Qt::Key_Return, &parent);
    EXPECT_EQ(boxes.Show({"save data", "Message", MessageIcon::Question, MessageButtons::YesNo}),
              MessageResult::Yes);
    EXPECT_EQ(parent, &owner);

    PressInModalBox(Qt::Key_Escape, &parent);
    EXPECT_EQ(boxes.Show({"save data", "Message", MessageIcon::Question, MessageButtons::YesNo}),
              MessageResult::No);

    PressInModalBox(Qt::Key_Return, &parent);
    EXPECT_EQ(boxes.Show({"Saved successfully", "message", MessageIcon::None, MessageButtons::Ok}),
              MessageResult::Ok);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(MessageBoxesTest, TextsAreShownAsUtf8) {
    QMainWindow owner;
    owner.show();
    MessageBoxes boxes(&owner);
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    // "Жπ café.mdb", titled "Meldung für Sie".
    boxes.Show({"/tmp/\xD0\x96\xCF\x80 caf\xC3\xA9.mdb is a Microsoft Access file",
                "Meldung f\xC3\xBCr Sie", MessageIcon::Information, MessageButtons::Ok});
    EXPECT_EQ(title, QString::fromUtf16(u"Meldung f\u00FCr Sie"));
    EXPECT_EQ(text,
              QString::fromUtf16(u"/tmp/\u0416\u03C0 caf\u00E9.mdb is a Microsoft Access file"));
}

TEST(FileDialogsTest, OpenDialogTakesTheNameOfAMissingFile) {
    QMainWindow owner;
    owner.show();
    FileDialogs dialogs(&owner);
    const QString missing = QDir(QDir::tempPath()).filePath("varnix-no-such-settings.mdb");
    QFile::remove(missing);
    QTimer::singleShot(0, [&missing] {
        QPointer dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // A dialog that refuses the name warns in a box of its own: close both then.
        QTimer::singleShot(2000, dialog, [dialog] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                box->reject();
            }
            dialog->reject();
        });
        dialog->selectFile(missing);
        static_cast<QDialog*>(dialog.data())->accept();  // public in QDialog, virtual
    });
    const auto chosen = dialogs.Show({false, "*.mdb|*.mdb", QDir::tempPath().toStdString()});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, missing.toStdString());
}

TEST(StatusLineTest, IsALabelInsideTheStatusBar) {
    QMainWindow window;
    StatusLine status(window.statusBar(), "Status bar .....");
    EXPECT_TRUE(window.statusBar()->isAncestorOf(&status));
    EXPECT_EQ(status.text(), "Status bar .....");
    status.SetText("Receiving datas:7");
    EXPECT_EQ(status.Text(), "Receiving datas:7");
    // Texts are UTF-8 both ways: "Жπ café".
    status.SetText("\xD0\x96\xCF\x80 caf\xC3\xA9");
    EXPECT_EQ(status.text(), QString::fromUtf16(u"\u0416\u03C0 caf\u00E9"));
    EXPECT_EQ(status.Text(), "\xD0\x96\xCF\x80 caf\xC3\xA9");
    status.SetText("Receiving datas:7");
    window.statusBar()->showMessage("transient");
    window.statusBar()->clearMessage();
    EXPECT_EQ(status.Text(), "Receiving datas:7");
}

}  // namespace
}  // namespace varnix
