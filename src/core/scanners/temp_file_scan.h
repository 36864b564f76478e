#pragma once

// The temporary-file scan without its window: it sets the finder's filters
// from the page's options, walks the chosen drives one after the other (the
// next drive starts from the end event of the previous one), skips the folders
// whose path holds a checked skip entry, and hands every file that passed to
// the found-file list through `addFile`. The window and clarivex-cli give it
// their list and their status line; everything else is the same.

#include "core/base/find_data.h"
#include "core/base/settings_types.h"
#include "core/cleaning/system_protection.h"
#include "core/scanners/file_groups.h"
#include "core/scanners/scan_filter_options.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace clarivex {

class TKvFindFile;

// What the page's controls say when a scan starts.
struct TempScanOptions : ScanFilterOptions
{
    QList<FileGroup> groups;
    QList<CheckEntry> foldersToSkip;

    // The stored settings; see ScanFilterOptions::takeSettings.
    static TempScanOptions fromSettings(const TempFileSettings &settings,
                                        const QString &sizeText = QStringLiteral("100"));
};

struct ScanDrive
{
    QByteArray root; // mount point or folder, raw bytes
    QString label;   // volume label, may be empty
    QString caption; // the drive list's caption, shown when there is no label
};

class TempFileScan
{
public:
    // Adds a found file to the list; false (and no row) when it vanished.
    // `size` receives the size listed.
    std::function<bool(const QByteArray &folder, const TFindData &data, qint64 &size)> addFile;
    // Status panel 0 (phase) or 1 (folder or file).
    std::function<void(int panel, const QString &text)> status;
    // After every found file: the totals changed.
    std::function<void()> totalsChanged;

    // Sets the finder's filters. False when no checked group has masks: the
    // scan cannot start ("Please select at least a Group to be scanned").
    [[nodiscard]] bool configure(TKvFindFile &finder, const TempScanOptions &options);
    // Walks every drive in order; returns when the last one is done (or
    // stopped). The finder's handlers are this scan's while it runs.
    void run(TKvFindFile &finder, const QList<ScanDrive> &drives);

    // The finder's handlers, for a window that dispatches them itself.
    void ChDir(const QByteArray &name);
    void AddFile(const QByteArray &path, const TFindData &data);
    // Moves the chain on; true when a next drive was started, false at the end.
    bool AfterExecute(TKvFindFile &finder);

    qint64 FoundFileCount = 0;
    qint64 FoundByteTotal = 0;
    // The system folders are skipped as a folder of the skip list is. Tests
    // give it a fake system; the stored setting may turn it off.
    cleaning::SystemProtection protection;
    // How many protected folders the last run skipped (each the top of the
    // protected part of its branch; the folders below it are not counted).
    qint64 ProtectedFoldersSkipped = 0;
    // One path line per found file (full path and "/"), for the file tree.
    QList<QByteArray> CandidateKeys;
    bool SkipCurrentFolder = false;
    // The last run ended on a Stop: the drives after the stopped one were not walked.
    bool Stopped = false;

    // "Searching Files on LABEL (ROOT) ...", the caption standing in for a
    // missing label.
    static QString searchingText(const ScanDrive &drive);

private:
    void startDrive(TKvFindFile &finder, qsizetype index);
    void setStatus(int panel, const QString &text) const;

    [[nodiscard]] bool skipsAsProtected(const QByteArray &folder);

    QList<QByteArray> m_skipFolders; // lower case
    QByteArray m_protectedTop;       // the protected folder last counted
    QList<ScanDrive> m_drives;
    qsizetype m_next = 0;
};

} // namespace clarivex
