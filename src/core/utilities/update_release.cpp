#include "core/utilities/update_release.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>

namespace clarivex {

QString updateDownloadFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return folder.isEmpty() ? QDir::homePath() + QStringLiteral("/Downloads") : folder;
}

QString releaseFileName(const QUrl &address)
{
    QString name = address.fileName(QUrl::FullyDecoded);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.remove(QChar(0));
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1); // never a hidden file, nor "." or ".."
    return name.isEmpty() ? QStringLiteral("clarivex-update") : name;
}

QString freeDownloadPath(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    QString path = dir.filePath(name);
    // "release.tar.gz" becomes "release (2).tar.gz".
    QString known = QMimeDatabase().suffixForFileName(name);
    if (known.isEmpty()) known = QFileInfo(name).suffix();
    const QString suffix = known.isEmpty() ? QString() : QLatin1Char('.') + known;
    const QString base = name.left(name.size() - suffix.size());
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = dir.filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
    return path;
}

QString releaseHandOverPath(const QString &path)
{
    static const char *const packages[] = {"application/vnd.debian.binary-package",
                                           "application/x-rpm", "application/vnd.flatpak",
                                           "application/vnd.flatpak.ref"};
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    for (const char *package : packages)
        if (type.inherits(QString::fromLatin1(package))) return path;
    return QFileInfo(path).absolutePath();
}

} // namespace clarivex
