#include "core/scanners/file_groups.h"

#include <limits>

namespace clarivex {

QString scanMaskText(const QList<FileGroup> &groups)
{
    QString text;
    for (const FileGroup &group : groups) {
        if (group.checked) text += group.masks;
    }
    return text;
}

int colourGroupOf(const QString &name, const QList<FileGroup> &groups)
{
    const QString lowerName = name.toLower();
    const qsizetype dot = lowerName.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : lowerName.mid(dot);
    int found = -1;
    for (int i = 0; i < groups.size(); ++i) {
        const QString masks = groups[i].masks.toLower();
        const bool matches =
            (!ext.isEmpty() && masks.contains(ext)) || masks.contains(lowerName) ||
            (masks.contains(QLatin1Char('~')) && lowerName.contains(QLatin1Char('~'))) ||
            (masks.contains(QLatin1Char('$')) && ext.contains(QLatin1Char('$')));
        if (matches) found = i;
    }
    return found;
}

QString savedMasks(const QString &editText)
{
    if (editText.isEmpty() || editText.endsWith(QLatin1Char(';'))) return editText;
    return editText + QLatin1Char(';');
}

SizeBounds sizeBounds(bool useSize, bool isMax, const QString &kilobytes)
{
    SizeBounds bounds;
    if (!useSize) return bounds;
    constexpr qint64 kLimitKb = std::numeric_limits<qint32>::max() / 1024; // 2097151
    bool ok = false;
    const qint64 n = kilobytes.trimmed().toLongLong(&ok);
    const qint64 bytes = std::clamp<qint64>(n, 0, kLimitKb) * 1024;
    if (isMax)
        bounds.maxSize = ok ? qint32(bytes) : qint32(kLimitKb * 1024);
    else
        bounds.minSize = ok ? qint32(bytes) : 0;
    return bounds;
}

} // namespace clarivex
