#include <QSocketNotifier>

#include "inbox_watch.h"

namespace varnix {

void WatchInbox(const CommInbox& inbox, QObject* parent, std::function<void()> deliver) {
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(inbox.WakeHandle()),
                                         QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, std::move(deliver));
}

}  // namespace varnix
