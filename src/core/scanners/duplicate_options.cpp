#include "core/scanners/duplicate_options.h"

#include "core/base/formats.h"
#include "core/scanners/file_groups.h"
#include "core/search/kv_find_file.h"

#include <algorithm>

namespace clarivex {

DuplicateScanOptions DuplicateScanOptions::fromSettings(const DuplicateFileSettings &settings,
                                                        const QString &sizeText)
{
    DuplicateScanOptions options;
    options.masks = settings.FilesToScan;
    options.foldersToSkip = settings.FilesToSkip;
    options.floppyIsMaster = settings.FloppyIsMaster;
    options.checkFileTimeStamp = settings.CheckFileTimeStamp;
    options.skipSysBackup = settings.SkipSysBackup;
    options.skipEmptyFiles = settings.SkipEmptyFiles;
    options.checkFileName = settings.CheckFileName;
    options.checkFileSize = settings.CheckFileSize;
    options.useHashCache = settings.UseHashCache;
    options.takeSettings(settings, sizeText);
    return options;
}

QString duplicateMaskText(const QList<CheckEntry> &masks)
{
    QStringList checked;
    for (const CheckEntry &entry : masks) {
        if (entry.checked) checked << entry.text;
    }
    return checked.join(QLatin1Char(';'));
}

QList<QByteArray> duplicateSkipFolders(const QList<CheckEntry> &entries)
{
    QList<QByteArray> folders;
    for (const CheckEntry &entry : entries) {
        if (!entry.checked) continue;
        QByteArray folder = entry.text.toLower().trimmed().toUtf8();
        if (!folder.startsWith('/')) folder.prepend('/');
        if (!folder.endsWith('/')) folder.append('/');
        if (folder.size() > 2) folders << folder;
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    return folders;
}

void configureDuplicateFinder(TKvFindFile &finder, const DuplicateScanOptions &options)
{
    options.applyTo(finder);
    finder.SetFileMask(duplicateMaskText(options.masks));
}

} // namespace clarivex
