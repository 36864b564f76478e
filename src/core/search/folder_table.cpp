#include "core/search/folder_table.h"

#include <QHashFunctions>

#include <cstring>

namespace clarivex {

namespace {

// Parts live in blocks of this size; a longer part gets a block of its own.
constexpr quint64 kPartBlock = 1 << 16;

size_t slotHash(quint32 parent, QByteArrayView part)
{
    return qHash(part, size_t(parent) * 0x9E3779B97F4A7C15ull);
}

} // namespace

FolderTable::FolderTable()
{
    clear();
}

FolderTable::~FolderTable() = default;

void FolderTable::clear()
{
    m_folders.clear();
    m_folders.shrink_to_fit();
    m_partBlocks.clear();
    m_partUsed = kPartBlock;
    m_slots.assign(1024, 0);
    m_last = kNone;
    m_recent.fill(Recent{});
}

QByteArrayView FolderTable::partOf(const Folder &folder) const
{
    if (folder.partLength == 0) return {};
    const auto block = size_t(folder.partOffset >> 32);
    const auto offset = size_t(folder.partOffset & 0xFFFFFFFFu);
    return {m_partBlocks[block].get() + offset, qsizetype(folder.partLength)};
}

void FolderTable::grow()
{
    std::vector<quint32> table(m_slots.size() * 2, 0);
    const size_t mask = table.size() - 1;
    for (const quint32 slot : m_slots) {
        if (slot == 0) continue;
        const Folder &folder = m_folders[slot - 1];
        size_t at = slotHash(folder.parent, partOf(folder)) & mask;
        while (table[at] != 0)
            at = (at + 1) & mask;
        table[at] = slot;
    }
    m_slots.swap(table);
}

quint32 FolderTable::child(quint32 parent, QByteArrayView part)
{
    const size_t mask = m_slots.size() - 1;
    size_t at = slotHash(parent, part) & mask;
    while (m_slots[at] != 0) {
        const Folder &folder = m_folders[m_slots[at] - 1];
        if (folder.parent == parent && partOf(folder) == part) return m_slots[at] - 1;
        at = (at + 1) & mask;
    }
    // New: its part is copied once, then the folder is entered.
    Folder folder{0, quint32(part.size()), parent};
    if (!part.isEmpty()) {
        if (m_partUsed + quint64(part.size()) > kPartBlock || m_partBlocks.empty()) {
            m_partBlocks.push_back(std::make_unique_for_overwrite<char[]>(
                size_t(std::max<quint64>(kPartBlock, quint64(part.size())))));
            m_partUsed = 0;
        }
        memcpy(m_partBlocks.back().get() + m_partUsed, part.data(), size_t(part.size()));
        folder.partOffset = (quint64(m_partBlocks.size() - 1) << 32) | m_partUsed;
        m_partUsed += quint64(part.size());
    }
    const auto index = quint32(m_folders.size());
    m_folders.push_back(folder);
    m_slots[at] = index + 1;
    if (m_folders.size() * 2 > m_slots.size()) grow();
    return index;
}

bool FolderTable::holdsPath(quint32 index, QByteArrayView path) const
{
    qsizetype end = path.size();
    for (quint32 i = index; i != kNone; i = m_folders[i].parent) {
        const QByteArrayView part = partOf(m_folders[i]);
        if (part.size() > end || path.sliced(end - part.size(), part.size()) != part) return false;
        end -= part.size();
    }
    return end == 0;
}

quint32 FolderTable::indexOf(QByteArrayView path)
{
    if (m_last != kNone && holdsPath(m_last, path)) return m_last;
    const size_t hash = qHash(path);
    Recent &recent = m_recent[hash % m_recent.size()];
    if (recent.index != kNone && recent.hash == hash && holdsPath(recent.index, path))
        return m_last = recent.index;
    // One part per "/"-ended piece, the rest (if any) last; the empty path is
    // one empty part.
    quint32 current = kNone;
    qsizetype pos = 0;
    do {
        const qsizetype slash = path.indexOf('/', pos);
        const qsizetype end = slash < 0 ? path.size() : slash + 1;
        current = child(current, path.sliced(pos, end - pos));
        pos = end;
    } while (pos < path.size());
    recent = {hash, current};
    m_last = current;
    return current;
}

QByteArray FolderTable::path(quint32 index) const
{
    if (index >= m_folders.size()) return {};
    qsizetype length = 0;
    for (quint32 i = index; i != kNone; i = m_folders[i].parent)
        length += m_folders[i].partLength;
    QByteArray path(length, Qt::Uninitialized);
    for (quint32 i = index; i != kNone; i = m_folders[i].parent) {
        const QByteArrayView part = partOf(m_folders[i]);
        length -= part.size();
        if (!part.isEmpty()) memcpy(path.data() + length, part.data(), size_t(part.size()));
    }
    return path;
}

std::vector<QByteArray> FolderTable::allPaths() const
{
    // A parent is always entered before its children.
    std::vector<QByteArray> paths(m_folders.size());
    for (size_t i = 0; i < m_folders.size(); ++i) {
        const Folder &folder = m_folders[i];
        const QByteArrayView part = partOf(folder);
        if (folder.parent != kNone) paths[i] = paths[folder.parent];
        paths[i].append(part);
    }
    return paths;
}

} // namespace clarivex
