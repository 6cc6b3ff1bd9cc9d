// The phone table's CSV files through its context menu, and its clipboard keys: several
// lines pasted fill slots downward, several selected rows copy as lines, and one line
// keeps the line editor's own ways. Also run under a real X server, whose clipboard and
// key delivery differ from the offscreen platform's.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "config_values.h"
#include "main_window_fixture.h"
#include "phone_csv.h"
#include "phone_table_csv.h"

namespace varnix {
namespace {

namespace fs = std::filesystem;

class PhoneTableCsvTest : public testing::MainWindowFixture {
  protected:
    PhoneTableCsvTest() {
        grid = form1->StringGrid1;
        editor = grid->Editor();
        form1->Dialogs().SetAnswerer([this](const FileRequest& request) {
            requests.push_back(request);
            return chosen;
        });
        fs::create_directories(folder());
    }

    fs::path folder() const { return sandbox.Root() / "csv"; }
    // The context menu's entry with this text.
    void Choose(const QString& text) {
        for (QAction* action : grid->actions()) {
            if (action->text() == text) {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(editor, static_cast<Qt::Key>(key), modifiers);
    }
    static std::string Contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    PhoneGrid* grid = nullptr;
    QLineEdit* editor = nullptr;
    std::optional<std::string> chosen;
    std::vector<FileRequest> requests;
};

TEST_F(PhoneTableCsvTest, PasteOfSeveralLinesFillsSlotsDownwardOrNothing) {
    grid->SetCell(1, 500, "5");
    grid->SetCurrentRow(497);
    editor->setFocus();
    QApplication::clipboard()->setText("1\r\n +2 \n\n");
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Cell(497), "1");
    EXPECT_EQ(Cell(498), "+2");
    EXPECT_EQ(Cell(499), "");
    EXPECT_EQ(Cell(500), "5");
    EXPECT_EQ(editor->text(), "1");
    EXPECT_EQ(grid->CurrentRow(), 497);
    EXPECT_TRUE(messages.empty());

    // A line no key could type, or one past slot 500: nothing changes, and a box says why.
    for (const QString& text : {QString("7\n8a\n"), QString("7\n8\n9\n0\n1\n")}) {
        QApplication::clipboard()->setText(text);
        Key(Qt::Key_V, Qt::ControlModifier);
    }
    EXPECT_EQ(Cell(497), "1");
    EXPECT_EQ(Cell(500), "5");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Nothing was pasted.");
    EXPECT_EQ(messages[0].title, "Message");
    EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(messages[0].detail,
              "line 2: the number holds characters other than the digits and \"+\"");
    EXPECT_EQ(messages[1].detail,
              "line 5: the line would go into slot 501, past the last slot 500");

    // One line without a line end: the key filter keeps Ctrl+V from pasting, as before,
    // and Shift+Insert pastes through the editor and the window's length rule.
    grid->SetCurrentRow(20);
    QApplication::clipboard()->setText("99");
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Cell(20), "");
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Cell(20), "99");
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(PhoneTableCsvTest, CopyOfSeveralRowsGivesTheirLinesAndPastesBack) {
    grid->SetCell(1, 5, "+385");
    grid->SetCell(1, 7, "12");
    grid->SetCurrentRow(5);
    editor->setFocus();
    // One row: the key goes on as before, and the clipboard keeps its text.
    QApplication::clipboard()->setText("kept");
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "kept");

    Key(Qt::Key_Down, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid->CurrentRow(), 7);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "+385\n\n12\n");

    // A plain move ends the selection; a Shift+click makes one from the current row.
    Key(Qt::Key_Down);
    EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), 1);
    grid->SetCurrentRow(30);
    grid->scrollToItem(grid->item(28, 0));
    const QPoint row29 = grid->visualItemRect(grid->item(28, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, row29);
    EXPECT_EQ(grid->CurrentRow(), 29);
    EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), 2);
    // A paste over a selection starts at its top.
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Cell(29), "+385");
    EXPECT_EQ(Cell(30), "");
    EXPECT_EQ(Cell(31), "12");
    EXPECT_TRUE(messages.empty());
}

TEST_F(PhoneTableCsvTest, ContextMenuImportsAndExportsCsvFiles) {
    ConfigRecord shown;
    for (int row = 1; row <= 500; ++row) {
        shown.SetPhoneText(row, "0" + std::to_string(row));
    }
    shown.SetPhoneText(3, "=1+2");  // as a settings file may hold it
    for (int row = 1; row <= 500; ++row) {
        grid->SetCell(1, row, QString::fromStdString(shown.PhoneText(row)));
    }

    // Export: every slot of the table, ".csv" appended.
    chosen = (folder() / "phones").string();
    Choose("Export CSV...");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].filter, "*.csv|*.csv");
    const fs::path exported = folder() / "phones.csv";
    EXPECT_EQ(Contents(exported), ExportPhoneCsv(shown));

    // The same name again: replaced only when the user agrees.
    grid->SetCell(1, 1, "");
    answers = {MessageResult::No};
    Choose("Export CSV...");
    EXPECT_EQ(Contents(exported), ExportPhoneCsv(shown));
    answers = {MessageResult::Yes};
    chosen = exported.string();
    Choose("Export CSV...");
    shown.SetPhoneText(1, "");
    EXPECT_EQ(Contents(exported), ExportPhoneCsv(shown));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, exported.string() + " exists already. Replace it?");
    EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
    messages.clear();

    // A refused file: line and reason, and the table as it was.
    const fs::path bad = folder() / "bad.csv";
    std::ofstream(bad, std::ios::binary) << "slot;number\r\n4;123\r\n4;5\r\n";
    chosen = bad.string();
    Choose("Import CSV...");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, bad.string() + " was not imported.");
    EXPECT_EQ(messages[0].title, "Message");
    EXPECT_EQ(messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(messages[0].detail, "line 3: slot 4 is listed on line 2 already");
    EXPECT_EQ(Cell(4), "04");
    EXPECT_FALSE(requests.back().save);

    // An accepted one replaces all 500 slots.
    const fs::path good = folder() / "good.csv";
    std::ofstream(good, std::ios::binary) << "slot,number\n4,\"+4\"\n500,9\n";
    chosen = good.string();
    grid->SetCurrentRow(4);
    Choose("Import CSV...");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(Cell(4), "+4");
    EXPECT_EQ(editor->text(), "+4");
    EXPECT_EQ(Cell(500), "9");
    for (int row = 1; row <= 499; ++row) {
        ASSERT_EQ(Cell(row), row == 4 ? "+4" : "") << row;
    }

    // Files that cannot be read or written: named with the system's reason.
    chosen = (folder() / "missing.csv").string();
    Choose("Import CSV...");
    chosen = (folder() / "none" / "out.csv").string();
    Choose("Export CSV...");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1].text, (folder() / "missing.csv").string() + " was not imported.");
    EXPECT_FALSE(messages[1].detail.empty());
    EXPECT_EQ(messages[2].text, *chosen + " was not exported.");
    EXPECT_FALSE(messages[2].detail.empty());
    EXPECT_EQ(Cell(4), "+4");
}

}  // namespace
}  // namespace varnix
