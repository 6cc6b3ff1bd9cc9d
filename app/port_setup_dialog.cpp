#include "port_setup_dialog.h"

#include <QAbstractItemView>
#include <QTimer>
#include <stdexcept>

#include "desktop_centre.h"
#include "window_font.h"

#include "port_choice.h"
#include "port_survey.h"
#include "registry.h"
#include "serial_devices.h"

namespace varnix {

TForm2::TForm2(QWidget* parent, ErrorReport& report, DeviceSession& session)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      report_(report),
      session_(session) {
    setObjectName("Form2");
    setWindowTitle("Com Setup");
    setFont(WindowFont());
    resize(281, 201);  // 289 x 235 with the frame

    GroupBox1 = new QGroupBox("Setup", this);
    GroupBox1->setGeometry(8, 8, 265, 185);
    Label1 = new QLabel("Port:", GroupBox1);
    Label1->setGeometry(40, 32, 22, 13);
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setGeometry(85, 26, 145, 21);
    ComboBox1->setEditable(false);
    ComboBox1->setAccessibleName("Port:");
    Label1->setBuddy(ComboBox1);
    for (int n = 1; n <= kPortNameCount; ++n) {
        ComboBox1->addItem(QString("COM%1").arg(n));
    }
    ComboBox1->setCurrentIndex(0);
    BitBtn1 = new QPushButton("OK", GroupBox1);
    BitBtn1->setGeometry(88, 128, 89, 33);
    BitBtn1->setAutoDefault(false);
    BitBtn1->setDefault(false);
    setTabOrder(ComboBox1, BitBtn1);
    // The context menu links a name: the closed list's current one, or the one clicked
    // in the open list.
    ComboBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ComboBox1, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        ShowLinkMenu(ComboBox1->currentIndex(), ComboBox1->mapToGlobal(at));
    });
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] {
        ComboBox1->setToolTip(ComboBox1->currentData(Qt::ToolTipRole).toString());
        ComboBox1->setAccessibleDescription(ComboBox1->toolTip());
    });
    QAbstractItemView* list = ComboBox1->view();
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](QPoint at) {
        ShowLinkMenu(list->indexAt(at).row(), list->viewport()->mapToGlobal(at));
    });
    connect(BitBtn1, &QPushButton::clicked, this,
            [this] { report_.Guard([this] { BitBtn1Click(); }); });

    try {
        FormCreate();
    } catch (const std::exception& error) {
        report_.ShowNow(error.what());
    }
}

std::string TForm2::ChosenPortName() const {
    return ComboBox1->currentText().toStdString();
}

void TForm2::FormCreate() {
    const auto index = StoredPortIndex();
    if (!index) {
        return;
    }
    // A stored index outside the list is no error: it selects nothing.
    ComboBox1->setCurrentIndex(*index >= 0 && *index < ComboBox1->count() ? *index : -1);
}

void TForm2::DescribePorts() {
    const auto found = FindSerialDevices(deviceRoot_);
    for (int i = 0; i < ComboBox1->count(); ++i) {
        const std::string name = ComboBox1->itemText(i).toStdString();
        PortFacts facts = SurveyPort(name, found, ChosenPortName(), deviceRoot_);
        // The port the window's own transfers hold open is the one selected; it is there
        // and this program's, not another's.
        if (session_.PortReady() && i == ComboBox1->currentIndex() &&
            facts.state == PortFacts::State::Busy) {
            facts.state = PortFacts::State::Present;
        }
        const QString text = QString::fromStdString(PortTooltip(facts));
        ComboBox1->setItemData(i, text, Qt::ToolTipRole);
        ComboBox1->setItemData(i, text, Qt::AccessibleDescriptionRole);
    }
    emit ComboBox1->currentIndexChanged(ComboBox1->currentIndex());
}

QMenu* TForm2::LinkMenu(int index) {
    auto* menu = new QMenu(this);
    if (index < 0 || index >= ComboBox1->count()) {
        return menu;
    }
    const std::string name = ComboBox1->itemText(index).toStdString();
    const auto found = FindSerialDevices(deviceRoot_);
    const PortRoute route = RoutePort(name, found, deviceRoot_);
    auto link = [this, name](const std::string& target) {
        report_.Guard([&] {
            std::string error;
            if (!LinkPort(name, target, error)) {
                throw std::runtime_error("Can not link " + name + ": " + error);
            }
            DescribePorts();
        });
    };
    menu->addSection(QString("Link %1 to").arg(QString::fromStdString(name)));
    for (const SerialDevice& device : found) {
        QString label = QString::fromStdString(device.path);
        if (!device.product.empty()) {
            label += QString(" (%1)").arg(QString::fromStdString(device.product));
        }
        QAction* action = menu->addAction(label, this, [link, device] { link(device.path); });
        action->setCheckable(true);
        action->setChecked(route.linked && route.path == device.path);
    }
    if (found.empty()) {
        menu->addAction("No serial device found")->setEnabled(false);
    }
    menu->addSeparator();
    QAction* unlink = menu->addAction("No link", this, [link] { link(std::string()); });
    unlink->setEnabled(route.linked);
    return menu;
}

void TForm2::ShowLinkMenu(int index, QPoint globalPos) {
    if (!CanLinkPorts()) {
        return;
    }
    QMenu* menu = LinkMenu(index);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    DescribePorts();
    CentreOnDesktop(this);
    // A window manager may place the dialog itself once it is mapped, and only then is
    // the frame known: centre it once more when the showing has settled.
    QTimer::singleShot(0, this, [this] {
        if (isVisible()) {
            CentreOnDesktop(this);
        }
    });
}

void TForm2::BitBtn1Click() {
    bool written = true;
    if (auto key = RegistryKey::Open(kPortSetupKey, true)) {
        written = key->WriteInteger(kPortSetupValue, ComboBox1->currentIndex());
    }
    accept();
    session_.PortChanged();
    if (!written) {
        throw PortChoiceError("Failed to set data for '%s'");
    }
}

}  // namespace varnix
