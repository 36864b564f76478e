#include "core/scanners/dead_shortcut_scan.h"

#include "core/scanners/resolve_shortcut.h"
#include "core/scanners/well_known_folders.h"
#include "core/search/kv_find_file.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace clarivex {

namespace {

bool existsAsAnything(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/'))) return false; // never relative to our own folder
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

bool isFolder(const QString &path)
{
    struct stat st;
    return path.startsWith(QLatin1Char('/')) &&
           ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// From the last "." of the last path part ("/" or "\" separated), the dot included.
qsizetype extensionLength(const QString &target)
{
    const qsizetype slash =
        std::max(target.lastIndexOf(QLatin1Char('/')), target.lastIndexOf(QLatin1Char('\\')));
    const qsizetype dot = target.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? target.size() - dot : 0;
}

bool driveChosen(platform::VolumeKind kind, const DeadShortcutOptions &options)
{
    switch (kind) {
    case platform::VolumeKind::Removable:
        return options.removable;
    case platform::VolumeKind::CdRom:
        return options.cdRom;
    case platform::VolumeKind::Remote:
        return options.network;
    default:
        return true;
    }
}

} // namespace

DeadShortcutOptions DeadShortcutOptions::fromSettings(const DeadShortcutSettings &settings)
{
    DeadShortcutOptions options;
    options.desktop = settings.DeadShortcutsDesktop;
    options.startMenu = settings.DeadShortcutsStartMenu;
    options.recent = settings.DeadShortcutsRecent;
    return options;
}

QList<QByteArray> deadShortcutFolders(const DeadShortcutOptions &options)
{
    QList<QByteArray> folders;
    const auto add = [&folders](const QString &folder) {
        if (!folder.isEmpty()) folders << QFile::encodeName(folder);
    };
    if (options.desktop) add(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    if (options.startMenu)
        add(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/applications"));
    if (options.recent) add(GetShellFolder(QStringLiteral("RECENT")));
    return folders;
}

platform::VolumeKind volumeKindOf(const QString &target, const QList<platform::Volume> &volumes)
{
    if (!target.startsWith(QLatin1Char('/'))) return platform::VolumeKind::Fixed;
    QString parent = target;
    do {
        parent.truncate(std::max<qsizetype>(parent.lastIndexOf(QLatin1Char('/')), 1));
    } while (parent.size() > 1 && !isFolder(parent));
    QList<QByteArray> roots;
    for (const platform::Volume &volume : volumes)
        roots << volume.root;
    const QByteArray root = platform::Volumes::rootOf(QFile::encodeName(parent), roots);
    platform::VolumeKind kind = platform::VolumeKind::Fixed;
    for (const platform::Volume &volume : volumes) {
        if (volume.root == root) kind = volume.kind;
    }
    // A volume that is not mounted leaves its target on the folder it is
    // mounted on; below the places of removable media that means unplugged.
    const bool mediaPlace = target.startsWith(QLatin1String("/media/")) ||
                            target.startsWith(QLatin1String("/run/media/"));
    if (mediaPlace && kind == platform::VolumeKind::Fixed) kind = platform::VolumeKind::Removable;
    return kind;
}

ShortcutVerdict decideShortcut(const TShortcutInfo &info, const DeadShortcutOptions &options,
                               const QList<platform::Volume> &volumes)
{
    QString target = info.target;
    if (info.kind == ShortcutKind::DesktopApplication) {
        if (!info.tryExec.isEmpty() && !existsAsAnything(info.tryExec)) target = info.tryExec;
        if (target.isEmpty()) return ShortcutVerdict::NoFileTarget;
        // The program file is missing, and nothing stands in its place.
        if (existsAsAnything(target)) return ShortcutVerdict::TargetExists;
    } else {
        if (target.isEmpty()) return ShortcutVerdict::NoFileTarget;
        if (existsAsAnything(target)) return ShortcutVerdict::TargetExists;
        // A symbolic link names its target exactly: one that points nowhere
        // is dead whatever the target's name looks like.
        if (info.kind != ShortcutKind::SymbolicLink && extensionLength(target) < 3)
            return ShortcutVerdict::OddTarget;
    }
    if (!driveChosen(volumeKindOf(target, volumes), options))
        return ShortcutVerdict::DriveNotChosen;
    return ShortcutVerdict::Dead;
}

void DeadShortcutScan::configure(TKvFindFile &finder)
{
    finder.SetAttributes(faReadOnly | faHidden | faSysFile | faArchive);
    finder.SetFileMask(QStringLiteral("*"));
    finder.SetFindString(QString());
    finder.MinSize = 0;
    finder.MaxSize = 2147483647;
    finder.SetDateFrom(0.0);
    finder.SetDateTo(2147483647.0);
    finder.RecurseDirs = true;
}

void DeadShortcutScan::run(TKvFindFile &finder, const QList<QByteArray> &folders,
                           const DeadShortcutOptions &options)
{
    FoundFileCount = 0;
    FoundByteTotal = 0;
    CandidateKeys.clear();
    Unreadable.clear();
    m_named.clear();
    m_stopped = false;
    m_options = options;
    m_volumes = platform::Volumes::list();
    finder.OnAddFile = [this](const QByteArray &folder, const TFindData &data, bool &) {
        AddFile(folder, data);
    };
    finder.OnChDir = [this](const QByteArray &name, bool &) {
        if (status) status(1, QFile::decodeName(name));
    };
    const QByteArray home = QFile::encodeName(QDir::homePath());
    for (const QByteArray &folder : folders) {
        if (m_stopped) break;
        // A desktop that is the home folder itself (XDG_DESKTOP_DIR=$HOME)
        // is read without its subfolders: the links that programs keep in
        // their own folders of the home are no shortcuts of the user's.
        finder.RecurseDirs = QDir::cleanPath(QFile::decodeName(folder)) != QFile::decodeName(home);
        (void)finder.Execute(folder);
    }
    finder.RecurseDirs = true;
    finder.OnAddFile = nullptr;
    finder.OnChDir = nullptr;
}

void DeadShortcutScan::AddFile(const QByteArray &folder, const TFindData &data)
{
    if (!isShortcutFile(data.name, data.isSymlink)) return;
    const QByteArray path = folder + data.name;
    TShortcutInfo info;
    QString error;
    if (!ResolveShortcut(path, info, error, searchPath)) {
        if (m_named.contains(path)) return;
        m_named.insert(path);
        Unreadable << path;
        if (skipped) skipped(path, error);
        return;
    }
    if (decideShortcut(info, m_options, m_volumes) != ShortcutVerdict::Dead || !addFile) return;
    qint64 size = 0;
    if (!addFile(folder, data, size)) return;
    CandidateKeys.append(path + '/');
    FoundByteTotal += size;
    ++FoundFileCount;
    if (listed) listed(path, info);
    if (totalsChanged) totalsChanged();
}

} // namespace clarivex
