// The hand-over to Qt's main thread: calls `deliver` on the main thread each time the
// inbox's wake handle is signalled. The watcher is a child of `parent`.
#pragma once

#include <QObject>
#include <functional>

#include "comm_inbox.h"

namespace varnix {

void WatchInbox(const CommInbox& inbox, QObject* parent, std::function<void()> deliver);

}  // namespace varnix
