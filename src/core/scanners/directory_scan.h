#pragma once

// The directory scan without its window: every file below the well-known
// junk folders that the page checks (temporary folder, recent documents, the
// two browser caches) and below the user's own checked folders, in that
// order. The folders are looked up when the scan starts, never taken from
// what the page shows. No folder is skipped and no attribute filters a file;
// sockets, FIFOs and device nodes are never reported (the finder's rule), and
// a symbolic link is reported as the link itself.

#include "core/base/find_data.h"
#include "core/base/settings_types.h"
#include "core/scanners/app_rule.h"
#include "core/scanners/app_rule_scan.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace clarivex {

class TKvFindFile;

// What the "Clean Directories" page says when a scan starts.
struct DirectoryScanOptions
{
    bool temporary = false;
    bool recent = false;
    bool ieCache = false;
    bool netscapeCache = false;
    QList<CheckEntry> directories; // "Also scan this directories:"
    QStringList appRules;          // ids of the checked application rules

    static DirectoryScanOptions fromSettings(const DirectorySettings &settings);
};

// The folders to scan, in scan order, looked up now. A look-up that finds
// nothing gives no folder; a folder listed twice is scanned twice.
[[nodiscard]] QList<QByteArray> directoryScanFolders(const DirectoryScanOptions &options);

// The folders no application rule enters: the home Trash and the backup
// folders of the move and zip modes (their settings; empty: the default).
[[nodiscard]] QList<QByteArray> appRuleExclusions(const QString &moveFolderSetting,
                                                  const QString &zipFolderSetting);

// The rules of `all` whose ids are in `ids`, in the order of `all`.
[[nodiscard]] QList<AppRule> checkedAppRules(const QList<AppRule> &all, const QStringList &ids);

class DirectoryScan
{
public:
    // Same hand-over as the temporary-file scan: false (and no row) when the
    // file vanished; `size` receives the size listed.
    std::function<bool(const QByteArray &folder, const TFindData &data, qint64 &size)> addFile;
    // Status panel 1: the folder being searched.
    std::function<void(int panel, const QString &text)> status;
    std::function<void()> totalsChanged;
    // A file found by an application rule (an index into `rules`); unset:
    // such files are listed through addFile.
    std::function<bool(const QByteArray &folder, const TFindData &data, int rule, qint64 &size)>
        addRuleFile;

    // The application rules walked after the folders, and the folders no
    // rule enters (the Trash, the backup and archive folders).
    QList<AppRule> rules;
    QList<QByteArray> excludedFolders;
    QList<AppRuleSkip> skippedRules; // the rules a guard held back in the last run

    // Every file, any attributes, any size and date, all subfolders.
    static void configure(TKvFindFile &finder);
    // Walks the folders in order. A stop ends the whole scan, not only the
    // folder being walked.
    void run(TKvFindFile &finder, const QList<QByteArray> &folders);
    void stop() { m_stopped = true; }

    qint64 FoundFileCount = 0;
    qint64 FoundByteTotal = 0;
    QList<QByteArray> CandidateKeys; // full path and "/" per found file

private:
    void AddFile(const QByteArray &path, const TFindData &data);
    void runRules();
    bool m_stopped = false;
};

} // namespace clarivex
