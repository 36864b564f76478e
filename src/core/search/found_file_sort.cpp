// Sorting of the found-file list. Every column is turned into one 64-bit key
// per row (a rank for the text columns, the value for sizes and dates, an
// eight-byte folded prefix for names), so a million rows sort in well under a
// second; ties keep the order the rows had.

#include "core/base/path_text.h"
#include "core/search/file_type_cache.h"
#include "core/search/found_file_model.h"

#include <algorithm>
#include <cstring>

namespace clarivex {

namespace {

// Signed values in unsigned order.
quint64 orderOf(qint64 value)
{
    return quint64(value) ^ (quint64(1) << 63);
}

// Two-second steps, as the list shows times; texts that say nothing sort first.
quint64 timeKey(qint64 nanoseconds)
{
    qint64 seconds = nanoseconds / 1000000000;
    if (nanoseconds % 1000000000 < 0) --seconds;
    return orderOf(seconds >> 1); // separators take 0
}

// The first eight bytes of a name with a..z folded to upper case, most significant first.
quint64 namePrefix(QByteArrayView name)
{
    quint64 key = 0;
    for (int i = 0; i < 8; ++i) {
        uchar c = i < name.size() ? uchar(name[i]) : 0;
        if (c >= 'a' && c <= 'z') c = uchar(c - 32);
        key = (key << 8) | c;
    }
    return key;
}

// Ranks of texts under the folded comparison; equal texts share a rank.
std::vector<quint32> ranksOf(const std::vector<QString> &texts)
{
    std::vector<quint32> order(texts.size());
    for (quint32 i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](quint32 a, quint32 b) { return compareFoldedAscii(texts[a], texts[b]) < 0; });
    std::vector<quint32> ranks(texts.size());
    quint32 rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && compareFoldedAscii(texts[order[i - 1]], texts[order[i]]) != 0) ++rank;
        ranks[order[i]] = rank;
    }
    return ranks;
}

} // namespace

// Rows whose keys tie share their first eight folded bytes (or the whole,
// shorter name): order each run by the rest of the names.
void FoundFileModel::sortNameRuns(std::vector<SortKey> &keys, bool ascending) const
{
    struct Named
    {
        QByteArrayView rest;
        quint32 row;
    };
    std::vector<Named> run;
    size_t first = 0;
    while (first < keys.size()) {
        size_t end = first + 1;
        while (end < keys.size() && keys[end].key == keys[first].key)
            ++end;
        if (end - first > 1) {
            run.clear();
            for (size_t i = first; i < end; ++i) {
                const QByteArrayView name = nameView(m_rows[keys[i].row]);
                run.push_back({name.size() > 8 ? name.sliced(8) : QByteArrayView(), keys[i].row});
            }
            std::sort(run.begin(), run.end(), [ascending](const Named &a, const Named &b) {
                int c = 0;
                if (a.rest.size() != b.rest.size() ||
                    (!a.rest.isEmpty() &&
                     memcmp(a.rest.data(), b.rest.data(), size_t(a.rest.size())) != 0))
                    c = compareFoldedAscii(a.rest, b.rest);
                if (c != 0) return ascending ? c < 0 : c > 0;
                return a.row < b.row;
            });
            for (size_t i = first; i < end; ++i)
                keys[i].row = run[i - first].row;
        }
        first = end;
    }
}

void FoundFileModel::ColumnClick(int column)
{
    if (column < 0 || column >= kFoundFileColumnCount) return;
    if (column == m_sortColumn) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = column;
        m_sortAscending = true;
    }
    SortRows(m_sortColumn, m_sortAscending);
}

void FoundFileModel::SortRows(int column, bool ascending)
{
    if (column < 0 || column >= kFoundFileColumnCount) return;
    FlushPending();
    const size_t count = m_rows.size();
    std::vector<SortKey> keys(count);

    // Rank tables: the texts of the column, with the separator's text last.
    std::vector<quint32> ranks;
    std::vector<QString> texts;
    auto rankTable = [&](size_t separatorSlot) {
        ranks = ranksOf(texts);
        return separatorSlot;
    };
    size_t separatorSlot = 0;
    switch (column) {
    case colFolder:
        texts.reserve(m_folders.size() + 1);
        for (const QByteArray &folder : m_folders)
            texts.push_back(displayText(folder));
        texts.push_back(QStringLiteral(" "));
        separatorSlot = rankTable(m_folders.size());
        break;
    case colType: {
        FileTypeCache &types = FileTypeCache::shared();
        for (size_t i = 0; i < count; ++i)
            (void)typeOf(int(i)); // the types the rows show, read where the name says none
        for (quint32 i = 0; i < quint32(types.size()); ++i)
            texts.push_back(types.typeName(i));
        texts.push_back(QStringLiteral(" "));
        separatorSlot = rankTable(size_t(types.size()));
        break;
    }
    case colAttributes:
        for (quint32 bits = 0; bits < 64; ++bits)
            texts.push_back(AttributesText(bits));
        texts.push_back(QStringLiteral(" "));
        separatorSlot = rankTable(64);
        break;
    case colFileVersion:
    case colProductVersion:
        for (const auto &pair : m_versions)
            texts.push_back(column == colFileVersion ? pair.first : pair.second);
        separatorSlot = rankTable(0); // a separator has no text there, like "none"
        break;
    default:
        break;
    }

    for (size_t i = 0; i < count; ++i) {
        const FoundFileRow &r = m_rows[i];
        quint64 key = 0;
        switch (column) {
        case colName:
            key = namePrefix(nameView(r));
            break;
        case colFolder:
            key = ranks[r.separator ? separatorSlot : r.folder];
            break;
        case colSize:
            key = r.separator ? 0 : orderOf(r.size);
            break;
        case colType:
            key = ranks[r.separator ? separatorSlot : typeOf(int(i))]; // read above
            break;
        case colAttributes:
            key = ranks[r.separator ? separatorSlot : (r.attributes & 63u)];
            break;
        case colFileVersion:
        case colProductVersion:
            key = ranks[r.separator ? separatorSlot : r.versions];
            break;
        case colModified:
        case colLastWrite:
            key = r.separator ? 0 : timeKey(r.lastWriteTime);
            break;
        case colCreation:
            key = r.separator ? 0 : timeKey(r.creationTime);
            break;
        case colLastAccess:
            key = r.separator ? 0 : timeKey(r.lastAccessTime);
            break;
        }
        keys[i] = {key, quint32(i)};
    }

    // Integer keys first; ties keep their order. Names that share the eight
    // bytes of their key are then put in order by their full text, run by run.
    std::sort(keys.begin(), keys.end(), [ascending](const SortKey &a, const SortKey &b) {
        if (a.key != b.key) return ascending ? a.key < b.key : a.key > b.key;
        return a.row < b.row;
    });
    if (column == colName) sortNameRuns(keys, ascending);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<FoundFileRow> sorted(count);
    std::vector<int> newRowOf(count);
    for (size_t i = 0; i < count; ++i) {
        sorted[i] = m_rows[keys[i].row];
        newRowOf[keys[i].row] = int(i);
    }
    m_rows.swap(sorted);
    m_sortColumn = column;
    m_sortAscending = ascending;
    m_sorted = true;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(newRowOf[size_t(index.row())], index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace clarivex
