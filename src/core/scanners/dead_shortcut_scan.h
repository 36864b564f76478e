#pragma once

// The dead-shortcut scan without its window: walks the desktop folder, the
// applications menu folder and the recent-documents folder (as the page
// checks them), reads every shortcut found there (.desktop launchers,
// symbolic links, .lnk files) and lists the shortcut files whose target is
// gone.
//
// A shortcut is listed when all of these hold:
//  1. it can be read, and its target names a file that does not exist. A
//     target that exists as anything, a folder included, keeps it off the
//     list;
//  2. the target's extension (from the last "." of its last path part, the
//     dot included) has at least 3 characters. For the program of an
//     Application launcher (Linux programs have no extension) this becomes:
//     the program file is missing and its name is not a folder. A symbolic
//     link has no such rule: it names its target exactly;
//  3. the target's volume, found from its nearest existing parent folder,
//     is not a removable, CD-ROM or remote volume whose box is unchecked. A
//     missing target below /media or /run/media counts as removable: its
//     volume is most likely just unplugged.
// A shortcut that cannot be read is skipped and named once; the scan goes on.
// A folder that is the home folder itself is read without its subfolders.

#include "core/base/find_data.h"
#include "core/base/settings_types.h"
#include "core/platform/volumes.h"
#include "core/scanners/shortcut_info.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>

namespace clarivex {

class TKvFindFile;

struct DeadShortcutOptions
{
    bool desktop = true;
    bool startMenu = true;
    bool recent = true;
    bool removable = false; // chkDSCleanRemovableDrives
    bool cdRom = false;     // chkDSCleanCDROMDrives
    bool network = false;   // chkDSCleanNetworkDrives

    static DeadShortcutOptions fromSettings(const DeadShortcutSettings &settings);
};

// The checked folders in scan order: desktop, applications menu, recent documents.
[[nodiscard]] QList<QByteArray> deadShortcutFolders(const DeadShortcutOptions &options);

enum class ShortcutVerdict {
    Dead,           // listed
    TargetExists,   // the target is there (a folder included)
    NoFileTarget,   // the shortcut names no file (empty target, a web link)
    OddTarget,      // the extension rule keeps it off the list
    DriveNotChosen, // its volume's kind is not asked for
};

// The kind of volume that holds (or held) a path.
[[nodiscard]] platform::VolumeKind volumeKindOf(const QString &target,
                                                const QList<platform::Volume> &volumes);

// Rules 1 to 3 above for a shortcut that was read.
[[nodiscard]] ShortcutVerdict decideShortcut(const TShortcutInfo &info,
                                             const DeadShortcutOptions &options,
                                             const QList<platform::Volume> &volumes);

class DeadShortcutScan
{
public:
    std::function<bool(const QByteArray &folder, const TFindData &data, qint64 &size)> addFile;
    std::function<void(int panel, const QString &text)> status;
    std::function<void()> totalsChanged;
    // A shortcut that could not be read: named once per scan.
    std::function<void(const QByteArray &path, const QString &reason)> skipped;
    // A shortcut that was listed, with what it holds.
    std::function<void(const QByteArray &path, const TShortcutInfo &info)> listed;

    // PATH for bare program names; the volumes are read when the scan starts.
    QString searchPath = qEnvironmentVariable("PATH");

    // Every entry of every attribute and name: symbolic links have any name.
    static void configure(TKvFindFile &finder);
    void run(TKvFindFile &finder, const QList<QByteArray> &folders,
             const DeadShortcutOptions &options);
    void stop() { m_stopped = true; }

    qint64 FoundFileCount = 0;
    qint64 FoundByteTotal = 0;
    QList<QByteArray> CandidateKeys;
    QList<QByteArray> Unreadable; // in the order they were met

private:
    void AddFile(const QByteArray &folder, const TFindData &data);

    DeadShortcutOptions m_options;
    QList<platform::Volume> m_volumes;
    QSet<QByteArray> m_named;
    bool m_stopped = false;
};

} // namespace clarivex
