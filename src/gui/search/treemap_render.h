#pragma once

// Draws the last layout of a treemap into an image: files in their colours
// (a folder's files too small for a pixel as their blended colour), pooled
// folders hatched grey, a thin frame round each folder. Plain QImage painting:
// safe on a worker thread.

#include "core/search/treemap_layout.h"

#include <QImage>

#include <vector>

namespace clarivex {

struct TreemapColours
{
    std::vector<QRgb> ofRow; // by found-file row
    QRgb background = 0xffffffff;
    QRgb other = 0xffb8b8b8;
    QRgb frame = 0xff404040;
};

[[nodiscard]] QImage renderTreemap(const Treemap &map, QSize size, qreal pixelRatio,
                                   const TreemapColours &colours);

} // namespace clarivex
