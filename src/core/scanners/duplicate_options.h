#pragma once

// What the "Duplicate Files" page says when a duplicate scan starts, and the
// finder's filters made from it.

#include "core/base/settings_types.h"
#include "core/scanners/scan_filter_options.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace clarivex {

class TKvFindFile;

struct DuplicateScanOptions : ScanFilterOptions
{
    QList<CheckEntry> masks;         // "File Types to be scanned:"
    QList<CheckEntry> foldersToSkip; // "Folders to be skipped:"
    bool floppyIsMaster = true;
    bool checkFileTimeStamp = true;
    bool skipSysBackup = true;
    bool skipEmptyFiles = true;
    bool checkFileName = true;
    bool checkFileSize = true;
    // Keep files' hashes between scans (see hash_cache.h). Off unless the
    // stored settings or the caller turn it on.
    bool useHashCache = false;

    static DuplicateScanOptions fromSettings(const DuplicateFileSettings &settings,
                                             const QString &sizeText = QStringLiteral("100"));
};

// A drive (or folder) of the scan; removable volumes are the masters when
// "Treat floppy as master" is on.
struct DuplicateDrive
{
    QByteArray root;
    bool removable = false;
};

// The checked masks joined by ";".
[[nodiscard]] QString duplicateMaskText(const QList<CheckEntry> &masks);
// Skip entries: lower case, trimmed, with a leading and a trailing "/",
// only those longer than two characters; sorted, no repeats.
[[nodiscard]] QList<QByteArray> duplicateSkipFolders(const QList<CheckEntry> &entries);
// Sets attributes, masks, text, sizes, dates and recursion on the finder.
void configureDuplicateFinder(TKvFindFile &finder, const DuplicateScanOptions &options);

} // namespace clarivex
