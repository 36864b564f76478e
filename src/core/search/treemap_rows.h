#pragma once

// The bridge between the found-file rows and their treemap: the treemap's
// source taken from the rows (on the thread that owns them), and new numbers
// for the map's rows after the list was sorted or rows left it.

#include "core/search/treemap_layout.h"

#include <vector>

namespace clarivex {

class FoundFileModel;

// Every file row (separators left out), grouped by folder.
[[nodiscard]] Treemap::Source TreemapSourceOf(const FoundFileModel &model);

// Rows keep their name's place in the model's name store through a sort or a
// removal, and no two rows share it: the key that follows a row across both.
class RowKeys
{
public:
    // Taken before the rows change.
    void Capture(const FoundFileModel &model);
    // After the change: the new number of each captured row (Treemap::kNoRow
    // when it left), and how many rows are new.
    struct Mapping
    {
        std::vector<quint32> newRow; // by old row
        qsizetype added = 0;
    };
    [[nodiscard]] Mapping Match(const FoundFileModel &model) const;
    [[nodiscard]] bool IsEmpty() const { return m_keys.empty(); }
    void Clear() { m_keys = {}; }

private:
    std::vector<quint64> m_keys; // by old row; ~0 for a separator
};

} // namespace clarivex
