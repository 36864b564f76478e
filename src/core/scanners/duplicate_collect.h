#pragma once

// Collect, the first phase of the duplicate scan: the finder's folder and
// file events in duplicate mode. Every file that passes becomes a candidate:
// a compact record (key, folder, name, and the identity and times the walk
// saw, for the hash cache) of 56 bytes plus its name, so a million
// candidates stay small. The key is the 64-bit size with "Require
// same size", else the lower-case name; candidates are sorted by it once
// the walk is over (sizes in numeric order, however large).
//
// Phases: 0 normal; 1 master (every key seen is remembered); 2 filtered
// (only files whose key a master phase saw are taken).

#include "core/base/find_data.h"
#include "core/cleaning/system_protection.h"
#include "core/scanners/duplicate_options.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <unordered_set>
#include <vector>

namespace clarivex {

struct Candidate
{
    qint64 size = 0;
    quint64 device = 0; // as the walk saw it (0 and 0: not known)
    quint64 inode = 0;
    qint64 modified = 0;    // nanoseconds
    qint64 changed = 0;     // nanoseconds
    qint64 accessed = 0;    // nanoseconds
    qint64 created = 0;     // nanoseconds (the change time where no birth time is kept)
    quint64 nameOffset = 0; // into the name arena: the name, then (by name) its lower case
    quint32 folder = 0;     // into CandidateFolders
    quint16 nameLength = 0;
    quint8 attributes = 0;   // as the walk saw them
    bool fromMaster = false; // found in a master phase
};

class DuplicateCollector
{
public:
    enum Phase : quint8 { Normal = 0, Master = 1, Filtered = 2 };

    // Folder being searched, or "Skipping " + folder (status panel 1).
    std::function<void(const QString &text)> folderStatus;

    // Clears everything and takes the options for the events that follow.
    void begin(const DuplicateScanOptions &options);
    void setPhase(Phase phase) { ScanPhase = phase; }

    // `folderFd`: the folder, open (-1: looked up by its path);
    // `holdsDesktopIni`: what its listing told, where it was read already.
    void ChDir(const QByteArray &folder, int folderFd = -1,
               std::optional<bool> holdsDesktopIni = std::nullopt);
    void AddFile(const TFindData &data);
    // Sorts the candidates by key (by name: then by name as found, letter case
    // ignored). Sorted in a slice per worker of the pool (at least 32,768
    // keys each), merged pairwise; `pump` is called meanwhile, so a million
    // keys never hold the window for long.
    void sortKeys(const std::function<void()> &pump = {});
    void clear();
    // Takes over what `other` collected (a branch walked on another thread
    // in the same phase), after what this one holds; `other` is left empty.
    void absorb(DuplicateCollector &other);

    [[nodiscard]] bool byName() const { return m_byName; }
    [[nodiscard]] QByteArrayView nameOf(const Candidate &candidate) const;
    // The name arena: every candidate's name at its nameOffset.
    [[nodiscard]] QByteArrayView names() const { return m_names; }
    [[nodiscard]] QByteArrayView lowerNameOf(const Candidate &candidate) const;
    [[nodiscard]] QByteArray pathOf(const Candidate &candidate) const;
    // Two candidates with one key (same size, or same name by name).
    [[nodiscard]] bool sameKey(const Candidate &a, const Candidate &b) const;
    // Bytes held for the candidates, their names and folders.
    [[nodiscard]] qint64 memoryBytes() const;

    // The system folders are skipped as a folder of the skip list is (so a
    // package's file is never offered as a duplicate to clean). Tests give it
    // a fake system; the stored setting may turn it off.
    cleaning::SystemProtection protection;
    // How many protected folders the last walk skipped (each the top of the
    // protected part of its branch; the folders below it are not counted).
    qint64 ProtectedFoldersSkipped = 0;

    std::vector<Candidate> CandidateKeys;
    QList<QByteArray> CandidateFolders; // in the order entered, each ending with "/"
    QList<QByteArray> SkipFolders;
    Phase ScanPhase = Normal;
    qsizetype CurrentFolderIndex = -1;
    bool SkipCurrentFolder = false;

private:
    [[nodiscard]] bool skipsAsProtected(const QByteArray &folder);
    [[nodiscard]] bool keySeenInMaster(qint64 size, const QByteArray &lower) const;

    QByteArray m_names;        // the name arena
    QByteArray m_protectedTop; // the protected folder last counted
    std::unordered_set<qint64> m_masterSizes;
    std::unordered_set<std::string> m_masterNames;
    bool m_byName = false;
    bool m_skipSysBackup = true;
    bool m_skipEmpty = true;
};

} // namespace clarivex
