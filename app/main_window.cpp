#include "main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFocusEvent>
#include <algorithm>
#include <stdexcept>

#include "desktop_centre.h"
#include "window_font.h"

#include "compare_dialog.h"
#include "config_comparison.h"
#include "key_filter.h"
#include "phone_table_csv.h"
#include "port_setup_dialog.h"
#include "port_texts.h"

namespace varnix {

namespace {

bool IsDigit(char key) {
    return key >= '0' && key <= '9';
}

// The label names the field: for the keyboard (its buddy) and for assistive technology.
void Names(QLabel* label, QWidget* field) {
    label->setBuddy(field);
    field->setAccessibleName(label->text());
}

// A label before a field keeps its right edge; where the font here is wider than the
// one the layout was made for, it grows to the left instead of cutting its text.
void KeepRightEdge(QLabel* label) {
    const QRect box = label->geometry();
    const int width = std::max(box.width(), label->sizeHint().width());
    label->setGeometry(box.right() + 1 - width, box.top(), width, box.height());
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

}  // namespace

TForm1::TForm1()
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    BuildLayout();
    // The label shows the session's work file.
    session_.Files().SetWorkFileListener(
        [this](const std::string& path) { Label3->setText(QString::fromStdString(path)); });
    session_.SetPortChooser(
        [this] { return form2_ != nullptr ? form2_->ChosenPortName() : std::string(); });
    connect(&session_, &DeviceSession::statusChanged, this,
            [this](const std::string& text) { StatusPanel->SetText(text); });
    connect(&session_, &DeviceSession::failed, this,
            [this](TransferKind kind, const SessionFailure& failure) {
                if (failure.atStart) {
                    ShowStartFailure(failure);
                } else if (kind == TransferKind::Write && failure.kind == FailureKind::LineLost) {
                    // The transfer's last text would say nothing of what the device holds.
                    StatusPanel->SetText(Capitalised(failure.reason) + ".");
                }
            });
    connect(&session_, &DeviceSession::finished, this, [this](TransferKind kind) {
        if (kind == TransferKind::Read && session_.ReadingCopy()) {
            ShowComparison();
        }
    });
    FormCreate();
}

TForm1::~TForm1() = default;

QPushButton* TForm1::AddButton(QWidget* parent, const char* caption, QRect geometry,
                               void (TForm1::*handler)()) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this,
            [this, handler] { report_.Guard([&] { (this->*handler)(); }); });
    return button;
}

void TForm1::BuildLayout() {
    setObjectName("Form1");
    setWindowTitle("Varnix V.1.2");
    setFont(WindowFont());
    auto* inside = new QWidget(this);
    setCentralWidget(inside);
    resize(345, 628);  // 353 x 662 with the frame

    GroupBox1 = new QGroupBox("Current work file", inside);
    GroupBox1->setGeometry(8, 8, 329, 57);
    Label3 = new QLabel(GroupBox1);
    Label3->setObjectName("Label3");
    Label3->setGeometry(2, 15, 325, 40);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setWordWrap(false);
    Label3->setTextFormat(Qt::PlainText);

    GroupBox2 = new QGroupBox("Relay Setting", inside);
    GroupBox2->setGeometry(8, 72, 329, 73);
    Label1 = new QLabel("Relay TimeOut(ms):", GroupBox2);
    Label1->setGeometry(72, 24, 92, 13);
    Edit1 = new QLineEdit("1", GroupBox2);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(168, 24, 57, 21);
    Names(Label1, Edit1);
    Label2 = new QLabel("Enable External Disconnection:", GroupBox2);
    Label2->setGeometry(16, 48, 148, 13);
    CheckBox1 = new QCheckBox(GroupBox2);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setGeometry(168, 48, 17, 17);
    CheckBox1->setEnabled(false);
    Names(Label2, CheckBox1);

    GroupBox4 = new QGroupBox("Password Setting", inside);
    GroupBox4->setGeometry(8, 152, 329, 57);
    Label4 = new QLabel("Password:", GroupBox4);
    Label4->setGeometry(18, 29, 49, 13);
    Edit2 = new QLineEdit(kDefaultPassword, GroupBox4);
    Edit2->setObjectName("Edit2");
    Edit2->setGeometry(72, 24, 89, 21);
    Names(Label4, Edit2);
    BitBtn8 = AddButton(GroupBox4, "GET", {184, 21, 57, 26}, &TForm1::BitBtn8Click);
    BitBtn7 = AddButton(GroupBox4, "SET", {253, 21, 57, 26}, &TForm1::BitBtn7Click);

    GroupBox3 = new QGroupBox("Phones", inside);
    GroupBox3->setGeometry(8, 216, 329, 299);
    StringGrid1 = new PhoneGrid(GroupBox3);
    StringGrid1->setGeometry(8, 15, 313, 277);

    BitBtn1 = AddButton(inside, "Load From File...", {48, 526, 121, 25}, &TForm1::BitBtn1Click);
    BitBtn2 = AddButton(inside, "Write To File...", {168, 526, 129, 25}, &TForm1::BitBtn2Click);
    BitBtn3 = AddButton(inside, "Load From Device", {48, 550, 121, 25}, &TForm1::BitBtn3Click);
    BitBtn4 = AddButton(inside, "Write To Device", {168, 550, 129, 25}, &TForm1::BitBtn4Click);
    BitBtn5 = AddButton(inside, "Crear All", {48, 574, 121, 25}, &TForm1::BitBtn5Click);
    BitBtn6 = AddButton(inside, "Configure Port...", {168, 574, 129, 25}, &TForm1::BitBtn6Click);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(19);
    StatusPanel = new StatusLine(StatusBar1, "Status bar .....");

    for (QLabel* label : {Label1, Label2, Label4}) {
        KeepRightEdge(label);
    }

    // Focus order: relay settings, phones, the six buttons, then the password box.
    setTabOrder(Edit1, StringGrid1);
    setTabOrder(StringGrid1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    setTabOrder(BitBtn3, BitBtn4);
    setTabOrder(BitBtn4, BitBtn5);
    setTabOrder(BitBtn5, BitBtn6);
    setTabOrder(BitBtn6, Edit2);
    setTabOrder(Edit2, BitBtn7);
    setTabOrder(BitBtn7, BitBtn8);

    new KeyFilter(Edit1, report_, [this](char& key) { Edit1KeyPress(key); });
    new KeyFilter(Edit2, report_, [this](char& key) { Edit2KeyPress(key); });
    new KeyFilter(StringGrid1->Editor(), report_, [this](char& key) { StringGrid1KeyPress(key); });
    new PhoneTableCsv(StringGrid1, boxes_, dialogs_, report_);  // after the key filter
    auto* compare = new QAction("Compare With Device...", StringGrid1);
    connect(compare, &QAction::triggered, this,
            [this] { report_.Guard([this] { CompareWithDevice(); }); });
    StringGrid1->addAction(compare);  // after the CSV entries
    Edit1->installEventFilter(this);
    StringGrid1->onEditText = [this](int col, int row, const QString& value) {
        report_.Guard([&] { StringGrid1SetEditText(col, row, value); });
    };
}

// --- handlers -----------------------------------------------------------------------

void TForm1::FormCreate() {
    session_.Transfer().Reset();
}

void TForm1::FormShow() {
    StringGrid1->SetCell(0, 0, "Nr.");
    StringGrid1->SetCell(1, 0, "Phone Number");
    for (int row = 1; row <= kSlotCount; ++row) {
        StringGrid1->SetCell(0, row, QString::number(row));
    }
}

void TForm1::BitBtn5Click() {
    for (int row = 1; row <= kSlotCount; ++row) {
        StringGrid1->SetCell(1, row, QString());
    }
    Edit1->setText("0");
    CheckBox1->setChecked(false);
    Edit2->setText(kDefaultPassword);
}

void TForm1::BitBtn6Click() {
    if (form2_ != nullptr) {
        form2_->exec();
    }
}

void TForm1::Edit1KeyPress(char& key) {
    if (key != '\b' && !IsDigit(key)) {
        throw SilentAbort();
    }
}

void TForm1::Edit1Exit() {
    const std::string text(TrimBlanks(Edit1->text().toStdString()));
    std::int32_t value = 0;
    if (!ParseDecimalInt32(text, value)) {
        throw std::runtime_error("'" + text + "' is not a valid integer value");
    }
    if (value > kTimeoutMaxMs) {
        Edit1->setText("1000");
    }
}

void TForm1::Edit2KeyPress(char& key) {
    if (static_cast<std::size_t>(Edit2->text().size()) >= kPasswordLength && key != '\b') {
        throw SilentAbort();
    }
    if (key != '\b' && !IsDigit(key)) {
        throw SilentAbort();
    }
}

void TForm1::StringGrid1KeyPress(char& key) {
    if (key == '\r' && StringGrid1->CurrentRow() < kSlotCount) {
        StringGrid1->SetCurrentRow(StringGrid1->CurrentRow() + 1);
    }
    if (key != '\b' && key != '+' && !IsDigit(key)) {
        throw SilentAbort();
    }
}

void TForm1::StringGrid1SetEditText(int col, int row, const QString& value) {
    if (static_cast<std::size_t>(value.size()) > kPhoneTextMax) {
        StringGrid1->RevertEdit();
        if (row < kSlotCount) {
            StringGrid1->SetCurrentRow(row + 1);
        }
        return;
    }
    StringGrid1->SetCell(col, row, value);
}

// --- window events ------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    CentreOnDesktop(this);
    report_.Guard([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    report_.GuardClose(event, [this] { FormClose(); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::FocusOut) {
        // Only a move to another control of this window counts as leaving the field.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            report_.Guard([this] { Edit1Exit(); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- the on-screen values the transfers use -----------------------------------------
// Texts are UTF-8 on this side of the widgets, as everywhere in the program; the link
// turns them into the device's bytes.

std::string TForm1::PhoneText(int slot) const {
    return StringGrid1->Cell(1, slot).toStdString();
}

void TForm1::SetPhoneText(int slot, const std::string& text) {
    StringGrid1->SetCell(1, slot, QString::fromStdString(text));
}

std::string TForm1::TimeoutText() const {
    return Edit1->text().toStdString();
}

void TForm1::SetTimeoutText(const std::string& text) {
    Edit1->setText(QString::fromStdString(text));
}

std::string TForm1::PasswordText() const {
    return Edit2->text().toStdString();
}

void TForm1::SetPasswordText(const std::string& text) {
    Edit2->setText(QString::fromStdString(text));
}

void TForm1::ShowComparison() {
    if (compare_ == nullptr) {
        compare_ = new CompareDialog(this);
        connect(compare_, &CompareDialog::slotChosen, this,
                [this](int slot) { report_.Guard([&] { ShowSlot(slot); }); });
    }
    compare_->ShowDifferences(CompareConfigs(session_.DeviceCopy(), Screen()));
}

void TForm1::ShowSlot(int slot) {
    StringGrid1->SetCurrentRow(slot);
    StringGrid1->scrollToItem(StringGrid1->item(slot - 1, 0));
    activateWindow();
    StringGrid1->setFocus();
}

std::string TForm1::Capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

void TForm1::ShowStartFailure(const SessionFailure& failure) {
    MessageRequest request{failure.text, "Message", MessageIcon::Stop, MessageButtons::Ok, {}};
    // A port that did not open: say which device was tried, why it failed and what helps.
    if (failure.diagnosis) {
        request.detail = OpenFailureDetail(failure.port, *failure.diagnosis, FindSerialDevices());
    }
    boxes_.Show(request);
    // Values that cannot go to the device: the first slot at fault is where to mend them.
    if (failure.slot > 0) {
        StringGrid1->SetCurrentRow(failure.slot);
    }
}

}  // namespace varnix
