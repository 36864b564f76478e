#pragma once

// The private folder where the programs meet: the instance lock and one
// Unix-domain socket per window class live in $XDG_RUNTIME_DIR/clarivex/
// (else /tmp/clarivex-$UID/). The folder belongs to the user and has mode
// 0700, so nobody else can reach what is inside it.

#include <QString>

#include <optional>
#include <sys/types.h>

namespace clarivex::platform {

// The folder (with a trailing "/"), created when missing. Nothing when it
// cannot be made safe: not a real folder, owned by another user, or not
// creatable; error then says why.
[[nodiscard]] std::optional<QString> runtimeFolder(QString *error = nullptr);

// The user id of the process at the other end of a connected Unix socket.
[[nodiscard]] std::optional<uid_t> peerUserId(int socketDescriptor);

} // namespace clarivex::platform
