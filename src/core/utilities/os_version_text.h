#pragma once

// The about box's line about the operating system: the kernel's name and
// release, and under it the distribution's name from os-release, e.g.
//   Linux Version 6.1.0-18-amd64
//    (Debian GNU/Linux 12 (bookworm))

#include <QString>
#include <QStringList>

#include <optional>

namespace clarivex {

struct KernelIdentity
{
    QString name;    // "Linux"
    QString release; // "6.1.0-18-amd64"
};

// The running kernel (uname); nothing when it cannot be asked.
[[nodiscard]] std::optional<KernelIdentity> runningKernel();

// The files that may describe the distribution, in the order they are tried:
// /etc/os-release, else /usr/lib/os-release.
[[nodiscard]] QStringList osReleaseFiles();

// PRETTY_NAME from the first of `files` that can be read, unquoted as the
// shell would; empty when no file can be read or it has no such line.
[[nodiscard]] QString osReleasePrettyName(const QStringList &files = osReleaseFiles());

// The text for a kernel and a distribution name: empty without a kernel, and
// the first line alone without a distribution name.
[[nodiscard]] QString OSVersionText(const std::optional<KernelIdentity> &kernel,
                                    const QString &prettyName);
// The text for this system.
[[nodiscard]] QString OSVersionText();

} // namespace clarivex
