#include "core/platform/pasted_path.h"

#include <QDir>
#include <QUrl>

namespace clarivex::platform {

namespace {

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t');
}

} // namespace

QString pastedFolderPath(const QString &text, bool finished)
{
    QString path = text;
    // Line ends and tabs never belong to a typed folder name, nor do spaces
    // before it; spaces after it may be typed on the way to the next word.
    while (!path.isEmpty() && isLineEnd(path.back()))
        path.chop(1);
    qsizetype start = 0;
    while (start < path.size() && path[start].isSpace())
        ++start;
    path.remove(0, start);
    if (finished) path = path.trimmed();
    if (path.size() >= 2 &&
        (path.front() == QLatin1Char('\'') || path.front() == QLatin1Char('"')) &&
        path.back() == path.front())
        path = path.mid(1, path.size() - 2);
    if (path.startsWith(QLatin1String("file://"))) {
        const QUrl url(path);
        if (url.isValid() && url.isLocalFile()) path = url.toLocalFile();
    }
    if (finished && path == QLatin1String("~"))
        path = QDir::homePath();
    else if (path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    return path;
}

} // namespace clarivex::platform
