#include "core/cleaning/system_protection.h"

#include "core/cleaning/entry_names.h"

#include <QDir>
#include <QFile>

#include <climits>
#include <cstdlib>

namespace clarivex::cleaning {

namespace {

QByteArray resolved(const QByteArray &path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.constData(), buffer) ? QByteArray(buffer) : path;
}

// "/a/b" with no empty, "." or ".." part and no trailing "/".
bool isPlainAbsolute(QByteArrayView line)
{
    if (line.size() < 2 || line.front() != '/' || line.back() == '/') return false;
    for (qsizetype i = 0; i + 1 < line.size(); ++i) {
        if (line[i] != '/') continue;
        if (line[i + 1] == '/' || line[i + 1] == '.') return false; // also ".hidden": tidied
    }
    return true;
}

// "a//b/./c" as "a/b/c"; ".." is left alone (realpath deals with real ones).
QByteArray tidy(const QByteArray &path)
{
    // Most paths (a walk's folders) are plain already.
    QByteArrayView view(path);
    if (view.size() > 1 && view.back() == '/') view.chop(1);
    if (isPlainAbsolute(view)) return view.toByteArray();
    QByteArray out;
    for (const QByteArray &part : path.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        out += '/' + part;
    }
    return out.isEmpty() ? QByteArray("/") : out;
}

} // namespace

SystemProtection::SystemProtection(QByteArray root, QByteArray dpkgInfo)
    : m_root(tidy(resolved(root))),
      m_dpkgInfo(dpkgInfo.isEmpty() ? joinPath(m_root, "var/lib/dpkg/info") : dpkgInfo)
{
}

QByteArray SystemProtection::belowRoot(const QByteArray &path) const
{
    const QByteArray clean = tidy(path);
    if (m_root == "/") return clean.mid(1);
    if (clean == m_root) return QByteArray("");
    if (!clean.startsWith(m_root + '/')) return {};
    return clean.mid(m_root.size() + 1);
}

bool SystemProtection::isSystemFolderName(const QByteArray &relative)
{
    const qsizetype slash = relative.indexOf('/');
    const QByteArray top = slash < 0 ? relative : relative.left(slash);
    static const QList<QByteArray> kFolders{"usr", "etc", "boot", "bin", "sbin", "opt", "snap"};
    if (kFolders.contains(top) || top.startsWith("lib")) return true;
    if (top != "var") return false;
    return !(relative == "var/tmp" || relative.startsWith("var/tmp/"));
}

bool SystemProtection::isProtectedFolder(const QByteArray &folder) const
{
    if (!enabled) return false;
    const QByteArray relative = belowRoot(folder);
    return !relative.isEmpty() && isSystemFolderName(relative);
}

bool SystemProtection::isProtectedPath(const QByteArray &path) const
{
    if (!enabled) return false;
    ResolvedFolders once;
    return isProtectedPath(path, once);
}

bool SystemProtection::isProtectedPath(const QByteArray &path, ResolvedFolders &folders) const
{
    if (!enabled) return false;
    const PathParts parts = splitPath(tidy(path));
    auto known = folders.constFind(parts.folder);
    if (known == folders.constEnd()) known = folders.insert(parts.folder, resolved(parts.folder));
    const QByteArray relative = belowRoot(joinPath(*known, parts.name));
    if (relative.isNull() || relative.isEmpty()) return false;
    return isSystemFolderName(relative) || isPackageFile(relative);
}

bool SystemProtection::isPackageFile(const QByteArray &relative) const
{
    loadPackageLists();
    return m_packageFiles.contains(relative);
}

void SystemProtection::loadPackageLists() const
{
    if (m_loaded) return;
    m_loaded = true;
    const QDir info(QFile::decodeName(m_dpkgInfo));
    for (const QString &name : info.entryList({QStringLiteral("*.list")}, QDir::Files)) {
        QFile list(info.filePath(name));
        if (!list.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = list.readAll();
        for (qsizetype at = 0; at < text.size();) {
            qsizetype end = text.indexOf('\n', at);
            if (end < 0) end = text.size();
            const QByteArrayView line(text.constData() + at, end - at);
            at = end + 1;
            // dpkg writes clean absolute paths; anything else is tidied first.
            if (isPlainAbsolute(line)) {
                m_packageFiles.insert(line.sliced(1).toByteArray());
                continue;
            }
            const QByteArray entry = tidy(line.toByteArray());
            if (entry != "/") m_packageFiles.insert(entry.mid(1));
        }
    }
}

} // namespace clarivex::cleaning
