#include "core/search/kept_away_folders.h"

#include "core/shell/settings_catalogue.h"

#include <QFile>
#include <QStandardPaths>

#include <cstring>

namespace clarivex {

namespace {

QByteArray homeTrash()
{
    return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                             QStringLiteral("/Trash"));
}

QByteArray folderOrDefault(const QString &folder)
{
    return QFile::encodeName(folder.isEmpty() ? defaultBackupFolder() : folder);
}

} // namespace

KeptAwayFolders::KeptAwayFolders()
{
    add(homeTrash());
    add(folderOrDefault(QString()));
}

KeptAwayFolders KeptAwayFolders::fromOptions(const GeneralOptions &options)
{
    return fromFolders(options.MoveFolderPath, options.ZipFileName);
}

KeptAwayFolders KeptAwayFolders::fromFolders(const QString &moveFolder, const QString &zipFolder)
{
    KeptAwayFolders kept;
    kept.m_folders = {homeTrash()};
    kept.add(folderOrDefault(moveFolder));
    kept.add(folderOrDefault(zipFolder));
    return kept;
}

void KeptAwayFolders::add(const QByteArray &folder)
{
    if (!folder.isEmpty() && !m_folders.contains(folder)) m_folders.append(folder);
}

bool KeptAwayFolders::isVolumeTrashName(const char *name)
{
    if (std::strncmp(name, ".Trash", 6) != 0) return false;
    if (name[6] == 0) return true;
    if (name[6] != '-' || name[7] == 0) return false;
    for (const char *digit = name + 7; *digit; ++digit)
        if (*digit < '0' || *digit > '9') return false;
    return true;
}

} // namespace clarivex
