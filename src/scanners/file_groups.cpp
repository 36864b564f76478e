#include "scanners/file_groups.h"

#include <limits>

namespace clarivex {

QList<TFileGroup> factoryFileGroups()
{
    return {
        {QStringLiteral("Temporary Files"), QStringLiteral("*.TMP;*.~*;~*.*;*.??~;*.??$;*.^*;"),
         QStringLiteral("clBlue"), true},
        {QStringLiteral("Backup Files"), QStringLiteral("*.BAK;*.OLD;"), QStringLiteral("clGray"),
         true},
        {QStringLiteral("Lost Cluster Files"), QStringLiteral("CHKLIST.*;*.CHK;FILE????._DD;"),
         QStringLiteral("clPurple"), true},
        {QStringLiteral("Help Temporary Files"), QStringLiteral("*.GID;*.FTS;*.FTG;"),
         QStringLiteral("clTeal"), true},
        {QStringLiteral("Setup Temporary Files"), QStringLiteral("MSCREATE.DIR;*.---;"),
         QStringLiteral("clOlive"), true},
        {QStringLiteral("System Log Files"),
         QStringLiteral("*.LOG.TXT;BOOTLOG.PRV;MODEMDET.TXT;SUHDLOG.DAT;SYSTEM.1ST;"),
         QStringLiteral("clSilver"), true},
    };
}

QString scanMaskText(const QList<TFileGroup> &groups)
{
    QString text;
    for (const TFileGroup &group : groups) {
        if (group.Checked) text += group.Masks;
    }
    return text;
}

int colourGroupOf(const QString &name, const QList<TFileGroup> &groups)
{
    const QString lowerName = name.toLower();
    const qsizetype dot = lowerName.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : lowerName.mid(dot);
    int found = -1;
    for (int i = 0; i < groups.size(); ++i) {
        const QString masks = groups[i].Masks.toLower();
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
