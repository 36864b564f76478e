#pragma once

// The system is never cleaned. Protected are the system folders (/usr, /etc,
// /boot, /bin, /sbin, /lib*, /opt, /snap, and /var but for /var/tmp) with
// everything below them, and every file that an installed package owns
// (dpkg's file lists, <info>/*.list). The file system root and the dpkg
// information folder can be moved, so that tests build a fake system under a
// temporary folder. A stored setting may turn the protection off.

#include <QByteArray>
#include <QHash>
#include <QSet>

namespace clarivex::cleaning {

class SystemProtection
{
public:
    explicit SystemProtection(QByteArray root = "/", QByteArray dpkgInfo = {});

    bool enabled = true;

    // For a scan: whether to skip this folder and everything below it.
    [[nodiscard]] bool isProtectedFolder(const QByteArray &folder) const;
    // For a clean: whether this file must be refused (a system folder's
    // content, or a package's file). The folder part of the path is resolved
    // first, so a link to a system folder does not hide one.
    [[nodiscard]] bool isProtectedPath(const QByteArray &path) const;
    // The folders resolved by one pass over many paths (a clean's checks):
    // each folder is resolved once for the pass, not once per file.
    using ResolvedFolders = QHash<QByteArray, QByteArray>;
    [[nodiscard]] bool isProtectedPath(const QByteArray &path, ResolvedFolders &resolved) const;

private:
    // `path` relative to the root ("usr/lib/x"); empty when it is the root, or
    // null when it lies outside it.
    [[nodiscard]] QByteArray belowRoot(const QByteArray &path) const;
    [[nodiscard]] static bool isSystemFolderName(const QByteArray &relative);
    [[nodiscard]] bool isPackageFile(const QByteArray &relative) const;
    void loadPackageLists() const;

    QByteArray m_root;
    QByteArray m_dpkgInfo;
    mutable bool m_loaded = false;
    mutable QSet<QByteArray> m_packageFiles; // relative to the root, no leading "/"
};

} // namespace clarivex::cleaning
