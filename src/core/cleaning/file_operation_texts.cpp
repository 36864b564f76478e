// The questions TFileOperation asks before it acts.

#include "core/cleaning/entry_names.h"
#include "core/cleaning/file_operation.h"

#include <QFile>

namespace clarivex::cleaning {

namespace {

QString quotedName(const QByteArray &path)
{
    return QLatin1Char('\'') + QFile::decodeName(splitPath(path).name) + QLatin1Char('\'');
}

QString quotedFolder(const QList<QByteArray> &targets)
{
    if (targets.size() != 1) return QStringLiteral("their destinations");
    return QLatin1Char('\'') + QFile::decodeName(targets.first()) + QLatin1Char('\'');
}

} // namespace

QString TFileOperation::confirmationText(TFileOp operation, TFileOpFlags flags,
                                         const QList<QByteArray> &paths,
                                         const QList<QByteArray> &targets)
{
    const QString what = paths.size() == 1 ? quotedName(paths.first())
                                           : QStringLiteral("these %1 items").arg(paths.size());
    switch (operation) {
    case foDelete:
        if (flags & fofAllowUndo)
            return QStringLiteral("Are you sure you want to move %1 to the Trash?").arg(what);
        return QStringLiteral("Are you sure you want to permanently delete %1?").arg(what);
    case foMove:
        return QStringLiteral("Are you sure you want to move %1 to %2?")
            .arg(what, quotedFolder(targets));
    case foCopy:
        return QStringLiteral("Are you sure you want to copy %1 to %2?")
            .arg(what, quotedFolder(targets));
    case foRename:
        break;
    }
    return QStringLiteral("Are you sure you want to rename %1?").arg(what);
}

} // namespace clarivex::cleaning
