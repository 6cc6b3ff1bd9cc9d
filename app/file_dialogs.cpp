#include "file_dialogs.h"

#include <QDir>
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
        // The open dialog takes any name, existing or not, so that a missing file reaches
        // the load and its error report.
        QFileDialog dialog(owner_, QString(), QString::fromStdString(request.initialFolder),
                           QtFilter(request.filter));
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, request.save);
        // Qt's own dialog on every system: the native Windows one appends the filter's
        // suffix to a typed name, and "Write To File..." appends ".mdb" itself.
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedFiles().constFirst().toStdString();
        }
    }
    if (chosen) {
        QDir::setCurrent(QFileInfo(QString::fromStdString(*chosen)).absolutePath());
    }
    return chosen;
}

}  // namespace varnix
