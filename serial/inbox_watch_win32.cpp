#include <windows.h>

#include <QWinEventNotifier>

#include "inbox_watch.h"

namespace varnix {

void WatchInbox(const CommInbox& inbox, QObject* parent, std::function<void()> deliver) {
    auto* notifier = new QWinEventNotifier(reinterpret_cast<HANDLE>(inbox.WakeHandle()), parent);
    QObject::connect(notifier, &QWinEventNotifier::activated, parent, std::move(deliver));
}

}  // namespace varnix
