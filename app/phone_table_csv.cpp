#include "phone_table_csv.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>
#include <memory>

#include "config_values.h"
#include "error_report.h"
#include "file_dialogs.h"
#include "file_save.h"
#include "message_boxes.h"
#include "phone_csv.h"
#include "phone_grid.h"

namespace varnix {

namespace {

constexpr char kFilter[] = "*.csv|*.csv";

void ShowStop(MessageBoxes& boxes, const std::string& text, const std::string& detail) {
    boxes.Show({text, "Message", MessageIcon::Stop, MessageButtons::Ok, detail});
}

bool EndsWithCsv(const std::string& path) {
    return QString::fromStdString(path).endsWith(".csv", Qt::CaseInsensitive);
}

}  // namespace

PhoneTableCsv::PhoneTableCsv(PhoneGrid* grid, MessageBoxes& boxes, FileDialogs& dialogs,
                             ErrorReport& report)
    : QObject(grid),
      grid_(grid),
      boxes_(boxes),
      dialogs_(dialogs),
      report_(report),
      import_(new QAction("Import CSV...", this)),
      export_(new QAction("Export CSV...", this)) {
    connect(import_, &QAction::triggered, this, [this] { report_.Guard([this] { ImportCsv(); }); });
    connect(export_, &QAction::triggered, this, [this] { report_.Guard([this] { ExportCsv(); }); });
    grid_->addAction(import_);
    grid_->addAction(export_);
    grid_->setContextMenuPolicy(Qt::ActionsContextMenu);

    anchor_ = grid_->CurrentRow();
    connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (!extending_ && row >= 0) {
            anchor_ = row + 1;
        }
    });
    grid_->installEventFilter(this);
    grid_->viewport()->installEventFilter(this);
    grid_->Editor()->installEventFilter(this);
}

void PhoneTableCsv::ImportCsv() {
    const auto path = dialogs_.Show({false, kFilter, QDir::currentPath().toStdString()});
    if (!path) {
        return;
    }
    ConfigRecord loaded;
    try {
        LoadPhoneCsv(*path, loaded);
    } catch (const CsvRejected& rejected) {
        ShowStop(boxes_, *path + " was not imported.", rejected.what());
        return;
    } catch (const CsvFileError& error) {
        ShowStop(boxes_, *path + " was not imported.", error.Reason());
        return;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        grid_->SetCell(1, slot, QString::fromStdString(loaded.PhoneText(slot)));
    }
}

void PhoneTableCsv::ExportCsv() {
    const auto chosen = dialogs_.Show({true, kFilter, std::string()});
    if (!chosen) {
        return;
    }
    const std::string path = EndsWithCsv(*chosen) ? *chosen : *chosen + ".csv";
    // The dialog leaves replacing to its caller, and the name may have gained ".csv".
    if (PathExists(path) &&
        boxes_.Show({path + " exists already. Replace it?", "Message", MessageIcon::Question,
                     MessageButtons::YesNo}) != MessageResult::Yes) {
        return;
    }
    ConfigRecord shown;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        shown.SetPhoneText(slot, grid_->Cell(1, slot).toStdString());
    }
    try {
        SavePhoneCsv(path, shown);
    } catch (const CsvFileError& error) {
        ShowStop(boxes_, path + " was not exported.", error.Reason());
    }
}

bool PhoneTableCsv::PasteLines() {
    const QString text = QApplication::clipboard()->text();
    if (!text.contains('\n') && !text.contains('\r')) {
        return false;
    }
    const std::vector<int> selected = SelectedRows();
    const int first = selected.size() > 1 ? selected.front() : grid_->CurrentRow();
    std::vector<PastedPhone> pasted;
    try {
        pasted = PastedPhones(text.toStdString(), first);
    } catch (const CsvRejected& rejected) {
        ShowStop(boxes_, "Nothing was pasted.", rejected.what());
        return true;
    }
    for (const PastedPhone& phone : pasted) {
        grid_->SetCell(1, phone.slot, QString::fromStdString(phone.text));
    }
    return true;
}

bool PhoneTableCsv::CopyRows() {
    const std::vector<int> rows = SelectedRows();
    if (rows.size() < 2) {
        return false;
    }
    QString lines;
    for (const int row : rows) {
        lines += grid_->Cell(1, row) + '\n';
    }
    QApplication::clipboard()->setText(lines);
    return true;
}

std::vector<int> PhoneTableCsv::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes()) {
        rows.push_back(index.row() + 1);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void PhoneTableCsv::ExtendTo(int row) {
    row = std::clamp(row, 1, kSlotCount);
    extending_ = true;
    grid_->SetCurrentRow(row);
    extending_ = false;
    QAbstractItemModel* model = grid_->model();
    const QItemSelection rows(model->index(std::min(anchor_, row) - 1, 0),
                              model->index(std::max(anchor_, row) - 1, 0));
    grid_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
}

bool PhoneTableCsv::KeyPress(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        return PasteLines();
    }
    if (event->matches(QKeySequence::Copy)) {
        return CopyRows();
    }
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::ShiftModifier) {
        return false;
    }
    const int page = std::max(1, grid_->viewport()->height() / PhoneGrid::kRowHeight);
    const int row = grid_->CurrentRow();
    switch (event->key()) {
        case Qt::Key_Up:
            ExtendTo(row - 1);
            return true;
        case Qt::Key_Down:
            ExtendTo(row + 1);
            return true;
        case Qt::Key_PageUp:
            ExtendTo(row - page);
            return true;
        case Qt::Key_PageDown:
            ExtendTo(row + page);
            return true;
        default:
            return false;
    }
}

bool PhoneTableCsv::ShiftClick(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || event->modifiers() != Qt::ShiftModifier) {
        return false;
    }
    const int row = grid_->rowAt(event->position().toPoint().y());
    if (row < 0) {
        return false;
    }
    grid_->setFocus(Qt::MouseFocusReason);
    ExtendTo(row + 1);
    return true;
}

void PhoneTableCsv::EditorMenu(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(grid_->Editor()->createStandardContextMenu());
    menu->addSeparator();
    // The table's own entries: the CSV files' and any the window adds after them.
    menu->addActions(grid_->actions());
    menu->exec(event->globalPos());
}

bool PhoneTableCsv::eventFilter(QObject* watched, QEvent* event) {
    // A handler that fails has still taken its event.
    bool taken = true;
    switch (event->type()) {
        case QEvent::KeyPress:
            report_.Guard([&] { taken = KeyPress(static_cast<QKeyEvent*>(event)); });
            return taken;
        case QEvent::MouseButtonPress:
            if (watched == grid_->viewport()) {
                report_.Guard([&] { taken = ShiftClick(static_cast<QMouseEvent*>(event)); });
                return taken;
            }
            break;
        case QEvent::ContextMenu:
            if (watched == grid_->Editor()) {
                report_.Guard([&] { EditorMenu(static_cast<QContextMenuEvent*>(event)); });
                return true;
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace varnix
