#pragma once

// Where the files of one clean are now: the check behind the history's
// "restorable" count and behind undo. Indexes that cost a walk (the Trash's
// ".trashinfo" files, an archive's entry names) are read once per clean and
// only when a record needs them.

#include "core/cleaning/clean_undo.h"

#include <QHash>
#include <QSet>

namespace clarivex::cleaning {

class UndoPlaces
{
public:
    UndoPlaces(const HistoryClean &clean, const std::optional<TrashPlaces> &trash);

    [[nodiscard]] FileWhereabouts locate(const HistoryFile &file);

private:
    [[nodiscard]] FileWhereabouts locateBegun(const HistoryFile &file);
    [[nodiscard]] std::optional<QByteArray> findInTrash(const HistoryFile &file);
    [[nodiscard]] std::optional<QByteArray> findMoved(const HistoryFile &file) const;
    [[nodiscard]] bool archiveHolds(const QByteArray &archive, const QByteArray &entry);
    void indexTrash(const QByteArray &trashFolder);

    HistoryClean m_clean;
    TrashPlaces m_trash;
    QSet<QByteArray> m_indexedTrashes;
    QHash<QByteArray, QList<QByteArray>> m_trashed; // original path -> files in "files/"
    QHash<QByteArray, QSet<QByteArray>> m_entries;  // archive -> its entry names
};

// The entry name an archive of the clean gives a path (absolute names).
[[nodiscard]] QByteArray archiveEntryFor(const QByteArray &path);

} // namespace clarivex::cleaning
