#include "gui/toolkit/minimize_path.h"

#include <QFontMetrics>
#include <QStringList>

namespace clarivex::ui {

QString MinimizeFolderPath(const QString &path, const QFontMetrics &metrics, int maxWidth)
{
    const auto fits = [&](const QString &text) {
        return metrics.horizontalAdvance(text) <= maxWidth;
    };
    if (fits(path)) return path;

    const bool absolute = path.startsWith(QLatin1Char('/'));
    const bool trailing = path.endsWith(QLatin1Char('/'));
    QStringList folders = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString tail = trailing ? QStringLiteral("/") : QString();
    const auto join = [&](const QString &lead, const QStringList &parts) {
        return lead + parts.join(QLatin1Char('/')) + (parts.isEmpty() ? QString() : tail);
    };

    // The first remaining folder gives way to "...", one at a time.
    const QString lead = absolute ? QStringLiteral("/.../") : QStringLiteral(".../");
    while (folders.size() > 1) {
        folders.removeFirst();
        const QString text = join(lead, folders);
        if (fits(text)) return text;
    }
    QString text = join(QStringLiteral(".../"), folders);
    if (fits(text)) return text;
    text = join(QString(), folders);
    if (fits(text)) return text;
    return metrics.elidedText(text, Qt::ElideRight, maxWidth);
}

} // namespace clarivex::ui
