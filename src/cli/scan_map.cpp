#include "cli/scan_map.h"

#include "cli/cli_command.h"
#include "core/search/found_file_model.h"
#include "core/search/treemap_rows.h"
#include "core/search/treemap_svg.h"

#include <QFile>
#include <QSaveFile>

namespace clarivex::cli {

namespace {
// A picture a browser shows whole on most screens.
constexpr double kMapWidth = 1200;
constexpr double kMapHeight = 800;
constexpr double kMinFolderArea = 64;
} // namespace

int writeScanMap(const FoundFileModel &model, const QByteArray &fileName, const MapKey &key)
{
    Treemap map;
    map.Build(TreemapSourceOf(model));
    map.Layout(Treemap::kRoot, QRectF(0, 0, kMapWidth, kMapHeight), kMinFolderArea);
    TreemapRows rows;
    rows.path = [&model](quint32 row) { return model.FilePath(int(row)); };
    rows.size = [&model](quint32 row) { return model.Row(int(row)).size; };
    rows.colour = [&model, &key](quint32 row) {
        const std::optional<int> k = key ? key(model.Row(int(row))) : std::nullopt;
        return k ? mapKeyColour(*k) : kMapDefaultColour;
    };
    QSaveFile file(QFile::decodeName(fileName));
    if (!file.open(QIODevice::WriteOnly) || !writeTreemapSvg(file, map, rows) || !file.commit())
        return failure(QStringLiteral("The map could not be saved as '%1': %2")
                           .arg(QFile::decodeName(fileName), file.errorString()));
    return ExitOk;
}

} // namespace clarivex::cli
