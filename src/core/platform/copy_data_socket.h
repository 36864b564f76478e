#pragma once

// What the sending and the receiving side of copy-data messages share.

#include <QString>

class QLocalSocket;

namespace clarivex::platform {

// True when a process accepts connections on the socket file.
[[nodiscard]] bool socketIsLive(const QString &path);
// True when the process at the other end runs as the same user.
[[nodiscard]] bool peerIsUs(const QLocalSocket &socket);

} // namespace clarivex::platform
