#pragma once

// The folders of the found-file list's rows. A folder is kept as its parent
// and the last part of its path ("/home/ann/tmp/" is "/home/ann/" + "tmp/"), so
// the half million folders of a five-million-file scan hold their names once
// and take a few dozen bytes each. Paths are bytes and read back exactly as
// given ("a//b", no trailing "/", relative ones alike).

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <memory>
#include <vector>

namespace clarivex {

class FolderTable
{
public:
    FolderTable();
    ~FolderTable();

    // The index of the folder, added when new. Consecutive calls for the same
    // folder, as a scan makes them, cost one comparison; a folder met a moment
    // ago (rows of a duplicate set lie in a few folders each) one hash.
    [[nodiscard]] quint32 indexOf(QByteArrayView path);
    [[nodiscard]] QByteArray path(quint32 index) const;
    // The paths of all folders, by index.
    [[nodiscard]] std::vector<QByteArray> allPaths() const;
    [[nodiscard]] size_t size() const { return m_folders.size(); }
    void clear();

private:
    static constexpr quint32 kNone = 0xFFFFFFFFu;
    struct Folder
    {
        quint64 partOffset; // into the part bytes
        quint32 partLength;
        quint32 parent; // kNone: the part starts the path
    };
    [[nodiscard]] QByteArrayView partOf(const Folder &folder) const;
    [[nodiscard]] quint32 child(quint32 parent, QByteArrayView part);
    // Whether the folder `index` has the path `path`, compared part by part
    // from its end.
    [[nodiscard]] bool holdsPath(quint32 index, QByteArrayView path) const;
    void grow();

    std::vector<Folder> m_folders;
    std::vector<std::unique_ptr<char[]>> m_partBlocks;
    quint64 m_partUsed = 0;
    std::vector<quint32> m_slots; // open addressing: folder index + 1, 0 for free
    quint32 m_last = kNone;
    struct Recent
    {
        size_t hash = 0;
        quint32 index = kNone;
    };
    std::array<Recent, 512> m_recent; // by the path's hash
};

} // namespace clarivex
