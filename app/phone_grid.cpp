#include "phone_grid.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

namespace varnix {

PhoneGrid::PhoneGrid(QWidget* parent) : QTableWidget(kRows - 1, 1, parent) {
    setObjectName("StringGrid1");
    setAccessibleName("Phones");
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setShowGrid(true);
    setWordWrap(false);

    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setMinimumSectionSize(kRowHeight);
    rows->setFixedWidth(40);
    rows->setSectionsClickable(false);
    rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QHeaderView* columns = horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Fixed);
    columns->setFixedHeight(kRowHeight);
    columns->setSectionsClickable(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setColumnWidth(0, 235);

    // Header texts are empty until the window writes them.
    setHorizontalHeaderItem(0, new QTableWidgetItem(QString()));
    for (int r = 0; r < kRows - 1; ++r) {
        setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
        auto* item = new QTableWidgetItem(QString());
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        setItem(r, 0, item);
    }
    corner_ = new QLabel(this);
    corner_->setObjectName("StringGrid1Corner");
    corner_->setIndent(3);

    editor_ = new QLineEdit(viewport());
    editor_->setObjectName("StringGrid1Editor");
    editor_->setFrame(false);
    // The editor is part of the table's focus stop: the table hands it the focus, and
    // Tab never stops on it separately.
    editor_->setFocusPolicy(Qt::ClickFocus);
    editor_->installEventFilter(this);
    connect(editor_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (onEditText) {
            onEditText(1, CurrentRow(), text);
        }
    });
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (row < 0) {
            return;
        }
        editor_->setText(item(row, 0)->text());
        editor_->selectAll();
        PlaceEditor();
        if (hasFocus()) {
            editor_->setFocus();
        }
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { PlaceEditor(); });
    setCurrentCell(0, 0);
}

QString PhoneGrid::Cell(int col, int row) const {
    if (row == 0) {
        return col == 0 ? corner_->text() : horizontalHeaderItem(0)->text();
    }
    return col == 0 ? verticalHeaderItem(row - 1)->text() : item(row - 1, 0)->text();
}

void PhoneGrid::SetCell(int col, int row, const QString& text) {
    if (row < 0 || row >= kRows) {
        return;
    }
    if (row == 0) {
        if (col == 0) {
            corner_->setText(text);
        } else {
            horizontalHeaderItem(0)->setText(text);
        }
        return;
    }
    if (col == 0) {
        verticalHeaderItem(row - 1)->setText(text);
        return;
    }
    item(row - 1, 0)->setText(text);
    if (row == CurrentRow() && editor_->text() != text) {
        editor_->setText(text);
    }
}

void PhoneGrid::SetCurrentRow(int row) {
    setCurrentCell(std::clamp(row, 1, kRows - 1) - 1, 0);
}

void PhoneGrid::RevertEdit() {
    const int cursor = editor_->cursorPosition();
    editor_->setText(item(currentRow(), 0)->text());
    editor_->setCursorPosition(cursor);
}

int PhoneGrid::RowsPerPage() const {
    return std::max(1, viewport()->height() / kRowHeight);
}

void PhoneGrid::PlaceEditor() {
    editor_->setGeometry(visualItemRect(currentItem()).adjusted(0, 0, -1, -1));
    editor_->show();
}

void PhoneGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    editor_->setFocus();
}

void PhoneGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    const int frame = frameWidth();
    corner_->setGeometry(frame, frame, verticalHeader()->width(), horizontalHeader()->height());
    PlaceEditor();
}

bool PhoneGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched != editor_ || event->type() != QEvent::KeyPress) {
        return QTableWidget::eventFilter(watched, event);
    }
    const int row = CurrentRow();
    const int last = kRows - 1;
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
            SetCurrentRow(row - 1);
            return true;
        case Qt::Key_Down:
            SetCurrentRow(row + 1);
            return true;
        case Qt::Key_PageUp:
            SetCurrentRow(row - RowsPerPage());
            return true;
        case Qt::Key_PageDown:
            SetCurrentRow(row + RowsPerPage());
            return true;
        case Qt::Key_Tab:
            SetCurrentRow(row == last ? 1 : row + 1);
            return true;
        case Qt::Key_Backtab:
            SetCurrentRow(row == 1 ? last : row - 1);
            return true;
        default:
            return false;
    }
}

}  // namespace varnix
