#include "gui/toolkit/colour_names.h"

#include <array>

namespace clarivex::ui {

namespace {
struct NamedColour
{
    const char *name;
    QRgb rgb;
};

constexpr std::array<NamedColour, 20> kColours{{
    {"clBlack", 0x000000}, {"clMaroon", 0x800000},     {"clGreen", 0x008000},
    {"clOlive", 0x808000}, {"clNavy", 0x000080},       {"clPurple", 0x800080},
    {"clTeal", 0x008080},  {"clGray", 0x808080},       {"clSilver", 0xC0C0C0},
    {"clRed", 0xFF0000},   {"clLime", 0x00FF00},       {"clYellow", 0xFFFF00},
    {"clBlue", 0x0000FF},  {"clFuchsia", 0xFF00FF},    {"clAqua", 0x00FFFF},
    {"clWhite", 0xFFFFFF}, {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xA6CAF0},
    {"clCream", 0xFFFBF0}, {"clMedGray", 0xA4A0A0},
}};
} // namespace

const QStringList &standardColourNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const NamedColour &c : kColours)
            list << QString::fromLatin1(c.name);
        return list;
    }();
    return names;
}

std::optional<QColor> colourFromText(const QString &text)
{
    for (const NamedColour &c : kColours) {
        if (text.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0)
            return QColor::fromRgb(c.rgb);
    }
    if (text.startsWith(QLatin1Char('$')) && text.size() > 1 && text.size() <= 9) {
        bool ok = false;
        const uint value = text.mid(1).toUInt(&ok, 16);
        if (ok) // 00BBGGRR
            return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
    }
    return std::nullopt;
}

QString colourToText(const QColor &colour)
{
    const QRgb rgb = colour.rgb() & 0xFFFFFF;
    for (const NamedColour &c : kColours) {
        if (c.rgb == rgb) return QString::fromLatin1(c.name);
    }
    const uint bgr = uint(colour.blue()) << 16 | uint(colour.green()) << 8 | uint(colour.red());
    return QStringLiteral("$%1").arg(bgr, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace clarivex::ui
