#include <QWinEventNotifier>

#include "inbox_watch.h"

namespace varnix {

// The inbox's wake handle is an event handle; Qt::HANDLE is the same pointer type.
void WatchInbox(const CommInbox& inbox, QObject* parent, std::function<void()> deliver) {
    auto* notifier =
        new QWinEventNotifier(reinterpret_cast<Qt::HANDLE>(inbox.WakeHandle()), parent);
    QObject::connect(notifier, &QWinEventNotifier::activated, parent, std::move(deliver));
}

}  // namespace varnix
