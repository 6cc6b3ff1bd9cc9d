#include "compare_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "window_font.h"

namespace varnix {

namespace {

using Field = ConfigDifference::Field;

QString WhatDiffers(const ConfigDifference& difference) {
    switch (difference.field) {
        case Field::Timeout:
            return "Time-out";
        case Field::ExternalDisconnect:
            return "External disconnection";
        case Field::Slot:
            break;
    }
    return QString::number(difference.slot);
}

QTableWidgetItem* ReadOnlyItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

}  // namespace

CompareDialog::CompareDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("CompareDialog");
    setWindowTitle("Compare With Device");
    setFont(WindowFont());
    setModal(false);

    Summary = new QLabel(this);
    Summary->setObjectName("CompareSummary");
    Summary->setTextFormat(Qt::PlainText);
    Differences = new QTableWidget(0, 3, this);
    Differences->setObjectName("CompareDifferences");
    Differences->setAccessibleName("Differences");
    Differences->setHorizontalHeaderLabels({"Slot", "Device", "Window"});
    Differences->verticalHeader()->hide();
    Differences->setSelectionBehavior(QAbstractItemView::SelectRows);
    Differences->setSelectionMode(QAbstractItemView::SingleSelection);
    Differences->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Differences->setWordWrap(false);
    Differences->horizontalHeader()->setStretchLastSection(true);
    Differences->setColumnWidth(0, 130);
    Differences->setColumnWidth(1, 120);
    CloseButton = new QPushButton("Close", this);
    CloseButton->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary);
    layout->addWidget(Differences);
    layout->addLayout(buttons);
    resize(400, 300);

    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    connect(Differences, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row >= 0 && static_cast<std::size_t>(row) < slots_.size() && slots_[row] > 0) {
            emit slotChosen(slots_[row]);
        }
    });
}

void CompareDialog::ShowDifferences(const std::vector<ConfigDifference>& differences) {
    slots_.clear();
    Differences->clearContents();
    Differences->setRowCount(static_cast<int>(differences.size()));
    int row = 0;
    for (const ConfigDifference& difference : differences) {
        Differences->setItem(row, 0, ReadOnlyItem(WhatDiffers(difference)));
        Differences->setItem(
            row, 1,
            ReadOnlyItem(QString::fromStdString(ShownValue(difference.field, difference.device))));
        Differences->setItem(
            row, 2,
            ReadOnlyItem(QString::fromStdString(ShownValue(difference.field, difference.other))));
        slots_.push_back(difference.field == Field::Slot ? difference.slot : 0);
        ++row;
    }
    if (differences.empty()) {
        Summary->setText(kSame);
    } else {
        Summary->setText(QString::fromStdString(DescribeComparison(differences)));
    }
    Differences->setVisible(!differences.empty());
    show();
    raise();
    activateWindow();
}

}  // namespace varnix
