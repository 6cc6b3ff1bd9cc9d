#include "message_boxes.h"

#include <QMessageBox>
#include <QPointer>

namespace varnix {

MessageResult MessageBoxes::Show(const MessageRequest& request) {
    if (answerer_) {
        return answerer_(request);
    }
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (request.icon == MessageIcon::Stop) {
        icon = QMessageBox::Critical;
    } else if (request.icon == MessageIcon::Question) {
        icon = QMessageBox::Question;
    } else if (request.icon == MessageIcon::Information) {
        icon = QMessageBox::Information;
    }
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    QPointer<QMessageBox> box = new QMessageBox(
        icon, QString::fromStdString(request.title), QString::fromStdString(request.text),
        yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, owner_);
    box->setInformativeText(QString::fromStdString(request.detail));
    box->setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    if (yesNo) {
        box->setEscapeButton(QMessageBox::No);
    }
    const int pressed = box->exec();
    delete box.data();
    if (!yesNo) {
        return MessageResult::Ok;
    }
    return pressed == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
}

}  // namespace varnix
