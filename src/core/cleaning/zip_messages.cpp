#include "core/cleaning/zip_messages.h"

#include <QHash>

#include <cerrno>

namespace clarivex::cleaning {

QString zipMessageText(int code)
{
    static const QHash<int, QString> kTexts{
        {zmFileReadOnly, QStringLiteral("File is read-only")},
        {zmErrorWriting, QStringLiteral("Error writing to file")},
        {zmNotEnoughSpace, QStringLiteral("Not enough disk space")},
        {zmDiskFull, QStringLiteral("Disk full")},
        {zmErrorDeleting, QStringLiteral("Error deleting file(s)")},
        {zmFileNotFound, QStringLiteral("File not found")},
        {zmFileChanged, QStringLiteral("File changed since it was listed")},
        {zmNotAFile, QStringLiteral("Not a regular file")},
        {zmErrorOpening, QStringLiteral("Error opening file")},
        {zmErrorReading, QStringLiteral("Error reading file")},
        {zmCrcMismatch, QStringLiteral("CRC error: the archived copy differs from the file")},
        {zmErrorUpdating, QStringLiteral("Error updating archive")},
        {zmUserAborted, QStringLiteral("User Aborted")},
        {zmFileKept, QStringLiteral("File archived but kept in its folder")},
    };
    return kTexts.value(code);
}

int zipMessageForErrno(int error, int otherwise)
{
    switch (error) {
    case ENOENT:
        return zmFileNotFound;
    case ENOSPC:
        return zmDiskFull;
    case EFBIG:
    case EDQUOT:
        return zmNotEnoughSpace;
    case EROFS:
        return zmFileReadOnly;
    case ESTALE:
        return zmFileChanged;
    case ECANCELED:
        return zmUserAborted;
    default:
        return otherwise;
    }
}

QString zipErrorText(const QString &fileName, const QString &extra, int code)
{
    const QString blanks = QStringLiteral("   ");
    QString text = fileName + blanks;
    if (code >= 25100 && code <= 25450)
        text += QStringLiteral("Error#  : ");
    else if (code >= 26500 && code <= 26522)
        text += QStringLiteral("Message#: ");
    else
        return {};
    return text + QString::number(code) + blanks + QStringLiteral(": ") + zipMessageText(code) +
           blanks + extra;
}

} // namespace clarivex::cleaning
