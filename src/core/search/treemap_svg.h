#pragma once

// The treemap as an SVG picture: each file a `rect` whose `title` holds its
// path and size (a browser shows it on hover), the areas of pooled folders
// grey with their count, and a thin frame round every folder.

#include "core/search/treemap_layout.h"

#include <QRgb>
#include <QString>

#include <functional>

class QIODevice;

namespace clarivex {

// "1.2 MiB (1,234,567 bytes)", or "512 bytes" below a kibibyte.
[[nodiscard]] QString mapSizeText(qint64 bytes);
// "37 folders, 1,204 files, 12.4 MiB (13,002,113 bytes)"
[[nodiscard]] QString mapOtherText(const MapOther &other);

// The colour of a file with no colour of its own.
constexpr QRgb kMapDefaultColour = 0xff8cb4d8;
// A colour for a number (a duplicate set): hues a golden angle apart, so
// neighbouring numbers never look alike.
[[nodiscard]] QRgb mapKeyColour(int key);

struct TreemapRows
{
    std::function<QByteArray(quint32 row)> path;
    std::function<qint64(quint32 row)> size;
    std::function<QRgb(quint32 row)> colour;
};

// Writes the last layout of `map`. False when the device refused the text.
[[nodiscard]] bool writeTreemapSvg(QIODevice &out, const Treemap &map, const TreemapRows &rows);

} // namespace clarivex
