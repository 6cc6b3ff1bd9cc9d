#include "file_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace varnix {

namespace {

// "a|b|c|d" becomes "a (b);;c (d)".
QString QtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        entries << QString("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
    }
    return entries.join(";;");
}

}  // namespace

std::optional<std::string> FileDialogs::Show(const FileRequest& request) {
    std::optional<std::string> chosen;
    if (answerer_) {
        chosen = answerer_(request);
    } else {
        const QString folder = QFile::decodeName(request.initialFolder.c_str());
        const QString path =
            request.save
                ? QFileDialog::getSaveFileName(owner_, QString(), folder, QtFilter(request.filter),
                                               nullptr, QFileDialog::DontConfirmOverwrite)
                : QFileDialog::getOpenFileName(owner_, QString(), folder, QtFilter(request.filter));
        if (!path.isEmpty()) {
            chosen = QFile::encodeName(path).toStdString();
        }
    }
    if (chosen) {
        QDir::setCurrent(QFileInfo(QFile::decodeName(chosen->c_str())).absolutePath());
    }
    return chosen;
}

}  // namespace varnix
