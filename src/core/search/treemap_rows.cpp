#include "core/search/treemap_rows.h"

#include "core/search/found_file_model.h"

#include <algorithm>

namespace clarivex {

namespace {
constexpr quint64 kNoKey = ~quint64(0);
} // namespace

Treemap::Source TreemapSourceOf(const FoundFileModel &model)
{
    Treemap::Source source;
    const int rows = model.RowCount();
    // Rows per folder of the model, then one run of cells per folder.
    std::vector<quint32> count;
    for (int r = 0; r < rows; ++r) {
        const FoundFileRow &row = model.Row(r);
        if (row.separator) continue;
        if (row.folder >= count.size()) count.resize(size_t(row.folder) + 1, 0);
        ++count[row.folder];
    }
    std::vector<quint32> slot(count.size(), 0);
    std::vector<qint32> folderOf(count.size(), -1);
    quint32 next = 0;
    for (size_t f = 0; f < count.size(); ++f) {
        if (count[f] == 0) continue;
        folderOf[f] = qint32(source.folders.size());
        source.folders.emplace_back(); // its path comes with its first row
        source.folderBytes.push_back(0);
        slot[f] = next;
        next += count[f];
        source.folderStart.push_back(next);
    }
    count = {};
    source.cells.resize(next);
    for (int r = 0; r < rows; ++r) {
        const FoundFileRow &row = model.Row(r);
        if (row.separator) continue;
        const auto f = size_t(folderOf[row.folder]);
        if (source.folders[f].isNull()) source.folders[f] = model.FolderOf(r);
        source.folderBytes[f] += row.size;
        MapCell &cell = source.cells[slot[row.folder]++];
        cell.row = quint32(r);
        cell.bytes = float(std::max<qint64>(0, row.size));
    }
    return source;
}

void RowKeys::Capture(const FoundFileModel &model)
{
    m_keys.resize(size_t(model.RowCount()));
    for (int r = 0; r < model.RowCount(); ++r) {
        const FoundFileRow &row = model.Row(r);
        m_keys[size_t(r)] = row.separator ? kNoKey : row.nameOffset;
    }
}

RowKeys::Mapping RowKeys::Match(const FoundFileModel &model) const
{
    std::vector<std::pair<quint64, quint32>> now;
    now.reserve(size_t(model.RowCount()));
    for (int r = 0; r < model.RowCount(); ++r) {
        const FoundFileRow &row = model.Row(r);
        if (!row.separator) now.emplace_back(row.nameOffset, quint32(r));
    }
    std::sort(now.begin(), now.end());
    Mapping mapping;
    mapping.newRow.assign(m_keys.size(), Treemap::kNoRow);
    qsizetype matched = 0;
    for (size_t old = 0; old < m_keys.size(); ++old) {
        if (m_keys[old] == kNoKey) continue;
        const auto found =
            std::lower_bound(now.begin(), now.end(), std::make_pair(m_keys[old], quint32(0)));
        if (found == now.end() || found->first != m_keys[old]) continue;
        mapping.newRow[old] = found->second;
        ++matched;
    }
    mapping.added = qsizetype(now.size()) - matched;
    return mapping;
}

} // namespace clarivex
