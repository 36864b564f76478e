#include "core/search/column_sizes.h"

#include "core/shell/custom_registry.h"

#include <QStringList>

namespace clarivex {

namespace {
const QString kSection = QStringLiteral("Columns");
const QString kValue = QStringLiteral("Sizes");
} // namespace

QString formatColumnSizes(const QList<int> &widths)
{
    QStringList parts;
    parts.reserve(widths.size());
    for (int width : widths)
        parts.append(QString::number(width));
    return parts.join(QLatin1Char(','));
}

std::optional<QList<int>> parseColumnSizes(const QString &text, int count)
{
    if (text.isEmpty()) return std::nullopt;
    QList<int> widths;
    qsizetype pos = 0;
    for (int column = 0; column < count; ++column) {
        if (pos > text.size()) {
            widths.append(kFitToHeader);
            continue;
        }
        qsizetype comma = text.indexOf(QLatin1Char(','), pos);
        if (comma < 0) comma = text.size();
        bool ok = false;
        const int width = text.mid(pos, comma - pos).trimmed().toInt(&ok);
        widths.append(ok ? width : 0);
        pos = comma + 1;
    }
    return widths;
}

bool TFLSaveSettings::active(int count) const
{
    return AutoSave && SaveColumnSizes && count > 0;
}

void TFLSaveSettings::SaveColumns(int count, const QList<int> &widths) const
{
    if (!active(count)) return;
    TRegIniFile registry(RegistryKey);
    registry.WriteText(kSection, kValue,
                       formatColumnSizes(widths.first(qMin(count, int(widths.size())))));
}

bool TFLSaveSettings::LoadColumns(int count, QList<int> &widths) const
{
    if (!active(count)) return false;
    TRegIniFile registry(RegistryKey);
    const auto parsed = parseColumnSizes(registry.ReadText(kSection, kValue, QString()), count);
    if (!parsed) return false;
    widths = *parsed;
    return true;
}

} // namespace clarivex
