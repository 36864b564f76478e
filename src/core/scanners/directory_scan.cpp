#include "core/scanners/directory_scan.h"

#include "core/cleaning/clean_operation.h"
#include "core/scanners/well_known_folders.h"
#include "core/search/kv_find_file.h"

#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace clarivex {

DirectoryScanOptions DirectoryScanOptions::fromSettings(const DirectorySettings &settings)
{
    DirectoryScanOptions options;
    options.temporary = settings.TemporaryDir;
    options.recent = settings.DocsFolder;
    options.ieCache = settings.IECacheDir;
    options.netscapeCache = settings.NetscapeCacheDir;
    options.directories = settings.Directories;
    options.appRules = settings.AppRules;
    return options;
}

QList<QByteArray> directoryScanFolders(const DirectoryScanOptions &options)
{
    QList<QByteArray> folders;
    const auto add = [&folders](const QString &folder) {
        if (!folder.isEmpty()) folders << QFile::encodeName(folder);
    };
    if (options.temporary) add(GetTempFolder());
    if (options.recent) add(GetShellFolder(QStringLiteral("RECENT")));
    if (options.ieCache) add(GetIECacheFolder());
    if (options.netscapeCache) add(GetNetscapeCacheFolder());
    for (const CheckEntry &entry : options.directories) {
        if (entry.checked) add(entry.text);
    }
    return folders;
}

void DirectoryScan::configure(TKvFindFile &finder)
{
    finder.SetAttributes(faReadOnly | faHidden | faSysFile | faArchive);
    // "*" and not "*.*": a Linux name needs no dot, and every file counts.
    finder.SetFileMask(QStringLiteral("*"));
    finder.SetFindString(QString());
    finder.MinSize = 0;
    finder.MaxSize = 2147483647;
    finder.SetDateFrom(0.0);
    finder.SetDateTo(2147483647.0);
    finder.RecurseDirs = true;
}

void DirectoryScan::run(TKvFindFile &finder, const QList<QByteArray> &folders)
{
    FoundFileCount = 0;
    FoundByteTotal = 0;
    CandidateKeys.clear();
    m_stopped = false;
    finder.OnAddFile = [this](const QByteArray &path, const TFindData &data, bool &) {
        AddFile(path, data);
    };
    finder.OnChDir = [this](const QByteArray &name, bool &) {
        if (status) status(1, QFile::decodeName(name));
    };
    for (const QByteArray &folder : folders) {
        if (m_stopped) break;
        (void)finder.Execute(folder); // a folder that is not there finds nothing
    }
    finder.OnAddFile = nullptr;
    finder.OnChDir = nullptr;
    runRules();
}

void DirectoryScan::runRules()
{
    skippedRules.clear();
    if (rules.isEmpty() || m_stopped) return;
    AppRuleScan scan;
    scan.root = ::geteuid() == 0;
    scan.excludedFolders = excludedFolders;
    scan.status = status;
    scan.stopRequested = [this] { return m_stopped; };
    scan.addFile = [this](const QByteArray &folder, const TFindData &data, int rule,
                          qint64 &size) {
        const bool listed = addRuleFile ? addRuleFile(folder, data, rule, size)
                            : addFile   ? addFile(folder, data, size)
                                        : false;
        if (!listed) return false;
        CandidateKeys.append(folder + data.name + '/');
        FoundByteTotal += size;
        ++FoundFileCount;
        if (totalsChanged) totalsChanged();
        return false; // counted here, not again by the rule walk
    };
    scan.run(rules);
    skippedRules = scan.skipped;
}

QList<QByteArray> appRuleExclusions(const QString &moveFolderSetting,
                                   const QString &zipFolderSetting)
{
    return {QFile::encodeName(
                QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/Trash")),
            cleaning::backupFolder(QFile::encodeName(moveFolderSetting)),
            cleaning::backupFolder(QFile::encodeName(zipFolderSetting))};
}

QList<AppRule> checkedAppRules(const QList<AppRule> &all, const QStringList &ids)
{
    QList<AppRule> rules;
    for (const AppRule &rule : all) {
        if (ids.contains(rule.id)) rules << rule;
    }
    return rules;
}

void DirectoryScan::AddFile(const QByteArray &path, const TFindData &data)
{
    if (!addFile) return;
    qint64 size = 0;
    if (!addFile(path, data, size)) return; // vanished before it could be listed
    CandidateKeys.append(path + data.name + '/');
    FoundByteTotal += size;
    ++FoundFileCount;
    if (totalsChanged) totalsChanged();
}

} // namespace clarivex
