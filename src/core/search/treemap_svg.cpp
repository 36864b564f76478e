#include "core/search/treemap_svg.h"

#include "core/base/formats.h"

#include <QColor>
#include <QFile>
#include <QIODevice>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace clarivex {

namespace {

// Text for XML 1.0: markup characters escaped, characters it cannot hold
// (controls, lone surrogates from undecodable names) replaced.
QByteArray xmlText(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean += c;
            clean += text[++i];
        } else if (c.isSurrogate() || (c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0xfffe ||
                   c.unicode() == 0xffff) {
            clean += QChar(QChar::ReplacementCharacter);
        } else {
            clean += c;
        }
    }
    return clean.toHtmlEscaped().toUtf8();
}

QByteArray number(float value)
{
    return QByteArray::number(double(value), 'f', 2);
}

QByteArray rectOf(const MapBox &box)
{
    return "x=\"" + number(box.x) + "\" y=\"" + number(box.y) + "\" width=\"" + number(box.w) +
           "\" height=\"" + number(box.h) + '"';
}

QByteArray colourText(QRgb rgb)
{
    return QByteArray("#") + QByteArray::number(rgb & 0xffffffu, 16).rightJustified(6, '0');
}

} // namespace

QRgb mapKeyColour(int key)
{
    const double hue = std::fmod(0.13 + 0.618033988749895 * std::max(0, key), 1.0);
    return QColor::fromHsvF(float(hue), 0.45f, 0.92f).rgb();
}

QString mapSizeText(qint64 bytes)
{
    const QString exact = QStringLiteral("%1 bytes").arg(formatGrouped(bytes));
    if (bytes < 1024) return exact;
    return QStringLiteral("%1 (%2)").arg(QLocale().formattedDataSize(bytes), exact);
}

QString mapOtherText(const MapOther &other)
{
    return QStringLiteral("%1 folders, %2 files, %3")
        .arg(formatGrouped(other.folders), formatGrouped(qint64(other.files)),
             mapSizeText(other.bytes));
}

bool writeTreemapSvg(QIODevice &out, const Treemap &map, const TreemapRows &rows)
{
    const QRectF bounds = map.Bounds();
    QByteArray text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                      QByteArray::number(qRound(bounds.right())) + "\" height=\"" +
                      QByteArray::number(qRound(bounds.bottom())) + "\">\n";
    text += "<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    const auto flush = [&] {
        const bool ok = out.write(text) == text.size();
        text.clear();
        return ok;
    };
    if (!map.IsEmpty() && map.View() < map.Folders().size()) {
        std::vector<quint32> stack{map.View()};
        QByteArray frames;
        std::vector<MapBox> boxes;
        while (!stack.empty()) {
            const quint32 id = stack.back();
            stack.pop_back();
            const MapFolder &folder = map.Folder(id);
            if (!folder.placed) continue;
            map.CellBoxes(id, boxes);
            for (quint32 c = folder.cellBegin; c < folder.cellEnd; ++c) {
                const MapCell &cell = map.Cells()[c];
                const MapBox &box = boxes[c - folder.cellBegin];
                if (cell.row == Treemap::kNoRow || box.w <= 0 || box.h <= 0) continue;
                const QString title = QFile::decodeName(rows.path(cell.row)) +
                                      QStringLiteral(", ") + mapSizeText(rows.size(cell.row));
                text += "<rect class=\"file\" " + rectOf(box) + " fill=\"" +
                        colourText(rows.colour(cell.row)) + "\"><title>" + xmlText(title) +
                        "</title></rect>\n";
                if (text.size() > (1 << 20) && !flush()) return false;
            }
            frames += "<rect class=\"folder\" " + rectOf(folder.box) +
                      " fill=\"none\" stroke=\"#404040\" stroke-width=\"0.5\"><title>" +
                      xmlText(QFile::decodeName(map.PathOf(id))) + "</title></rect>\n";
            for (const quint32 *child = map.ChildrenBegin(id); child != map.ChildrenEnd(id);
                 ++child)
                stack.push_back(*child);
        }
        for (const MapOther &other : map.Others()) {
            text += "<rect class=\"other\" " + rectOf(other.box) +
                    " fill=\"#b8b8b8\" stroke=\"#808080\" stroke-width=\"0.5\"><title>" +
                    xmlText(QFile::decodeName(map.PathOf(other.parent)) + QStringLiteral(": ") +
                            mapOtherText(other)) +
                    "</title></rect>\n";
        }
        text += frames;
    }
    text += "</svg>\n";
    return flush();
}

} // namespace clarivex
