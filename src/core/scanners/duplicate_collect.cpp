#include "core/scanners/duplicate_collect.h"

#include "core/base/path_text.h"
#include "core/scanners/duplicate_pool.h"
#include "core/search/kv_mask.h"

#include <QFile>

#include <unistd.h>

#include <algorithm>

namespace clarivex {

void DuplicateCollector::begin(const DuplicateScanOptions &options)
{
    clear();
    SkipFolders = duplicateSkipFolders(options.foldersToSkip);
    m_byName = !options.checkFileSize;
    m_skipSysBackup = options.skipSysBackup;
    m_skipEmpty = options.skipEmptyFiles;
    ScanPhase = Normal;
    ProtectedFoldersSkipped = 0;
    m_protectedTop.clear();
}

void DuplicateCollector::clear()
{
    CandidateKeys = {};
    CandidateFolders = {};
    m_names = {};
    m_masterSizes = {};
    m_masterNames = {};
    CurrentFolderIndex = -1;
    SkipCurrentFolder = false;
}

void DuplicateCollector::ChDir(const QByteArray &folder, int folderFd,
                               std::optional<bool> holdsDesktopIni)
{
    CurrentFolderIndex = CandidateFolders.size();
    CandidateFolders.append(folder);
    SkipCurrentFolder = skipsAsProtected(folder);
    if (!SkipCurrentFolder)
        SkipCurrentFolder = m_skipSysBackup && folder.toUpper().contains("/SYSBCKUP/");
    if (!SkipCurrentFolder && !SkipFolders.isEmpty()) {
        const QByteArray lower = lowerName(folder);
        SkipCurrentFolder = std::any_of(SkipFolders.cbegin(), SkipFolders.cend(),
                                        [&](const QByteArray &e) { return lower.contains(e); });
    }
    if (!SkipCurrentFolder && holdsDesktopIni) {
        SkipCurrentFolder = *holdsDesktopIni;
    } else if (!SkipCurrentFolder) {
        SkipCurrentFolder = folderFd >= 0
                                ? ::faccessat(folderFd, "desktop.ini", F_OK, 0) == 0
                                : ::access((folder + "desktop.ini").constData(), F_OK) == 0;
    }
    if (folderStatus) {
        const QString shown = QFile::decodeName(folder);
        folderStatus(SkipCurrentFolder ? QStringLiteral("Skipping ") + shown : shown);
    }
}

bool DuplicateCollector::skipsAsProtected(const QByteArray &folder)
{
    if (!protection.isProtectedFolder(folder)) return false;
    // The walk goes depth first: a folder below the last one counted is part
    // of the same protected branch ("/var/tmp" between them is not protected).
    if (m_protectedTop.isEmpty() || !folder.startsWith(m_protectedTop)) {
        m_protectedTop = folder.endsWith('/') ? folder : folder + '/';
        ++ProtectedFoldersSkipped;
    }
    return true;
}

void DuplicateCollector::AddFile(const TFindData &data)
{
    if (SkipCurrentFolder || CurrentFolderIndex < 0) return;
    // A link holds no data of its own: only its target can be a duplicate.
    if (data.isSymlink || data.name.size() > 0xFFFF) return;
    if (m_skipEmpty && data.size == 0) return;
    // The lower-case name only where it is needed: most files are keyed by size.
    const bool needsLower =
        m_byName || ScanPhase != Normal || data.name.size() == 9 || data.name.size() == 10;
    const QByteArray lower = needsLower ? lowerName(data.name) : QByteArray();
    if (lower == "mm256.dat" || lower == "mm2048.dat") return; // the whole name, not a part

    if (ScanPhase == Master) {
        if (m_byName)
            m_masterNames.insert(lower.toStdString());
        else
            m_masterSizes.insert(data.size);
    } else if (ScanPhase == Filtered && !keySeenInMaster(data.size, lower)) {
        return;
    }
    Candidate candidate;
    candidate.size = data.size;
    candidate.device = data.device;
    candidate.inode = data.inode;
    candidate.modified = data.lastWriteTime;
    candidate.changed = data.changeTime;
    candidate.accessed = data.lastAccessTime;
    candidate.created = data.creationTime;
    candidate.attributes = quint8(data.attributes);
    candidate.folder = quint32(CurrentFolderIndex);
    candidate.nameOffset = quint64(m_names.size());
    candidate.nameLength = quint16(data.name.size());
    candidate.fromMaster = ScanPhase == Master;
    m_names += data.name;
    if (m_byName) m_names += lower.left(data.name.size()).leftJustified(data.name.size(), ' ');
    CandidateKeys.push_back(candidate);
}

void DuplicateCollector::absorb(DuplicateCollector &other)
{
    const quint32 folderBase = quint32(CandidateFolders.size());
    const quint64 nameBase = quint64(m_names.size());
    CandidateFolders.append(other.CandidateFolders);
    m_names += other.m_names;
    const size_t needed = CandidateKeys.size() + other.CandidateKeys.size();
    if (CandidateKeys.capacity() < needed) // grown by half at least: many branches join
        CandidateKeys.reserve(std::max(needed, CandidateKeys.capacity() * 3 / 2));
    for (Candidate candidate : other.CandidateKeys) {
        candidate.folder += folderBase;
        candidate.nameOffset += nameBase;
        CandidateKeys.push_back(candidate);
    }
    ProtectedFoldersSkipped += other.ProtectedFoldersSkipped;
    other.clear();
}

bool DuplicateCollector::keySeenInMaster(qint64 size, const QByteArray &lower) const
{
    if (m_byName) return m_masterNames.count(lower.toStdString()) > 0;
    return m_masterSizes.count(size) > 0;
}

QByteArrayView DuplicateCollector::nameOf(const Candidate &candidate) const
{
    return QByteArrayView(m_names.constData() + candidate.nameOffset, candidate.nameLength);
}

QByteArrayView DuplicateCollector::lowerNameOf(const Candidate &candidate) const
{
    // Stored beside the name when keyed by name (a lower-case name of another
    // length is cut or padded to the same length: it is only a sort key).
    if (m_byName)
        return QByteArrayView(m_names.constData() + candidate.nameOffset + candidate.nameLength,
                              candidate.nameLength);
    return nameOf(candidate);
}

QByteArray DuplicateCollector::pathOf(const Candidate &candidate) const
{
    return CandidateFolders[candidate.folder] + nameOf(candidate).toByteArray();
}

bool DuplicateCollector::sameKey(const Candidate &a, const Candidate &b) const
{
    if (m_byName) return lowerNameOf(a) == lowerNameOf(b);
    return a.size == b.size;
}

void DuplicateCollector::sortKeys(const std::function<void()> &pump)
{
    // By size the order inside one size does not matter: the comparison
    // orders each run by path itself.
    const auto before = [this](const Candidate &a, const Candidate &b) {
        if (!m_byName) return a.size < b.size;
        const int byKey = lowerNameOf(a).compare(lowerNameOf(b));
        if (byKey != 0) return byKey < 0;
        return compareFoldedAscii(nameOf(a), nameOf(b)) < 0;
    };
    // The slices, then each round of merges, are shared out over the pool:
    // one slice per worker, the fewest rounds.
    const size_t slice =
        std::max<size_t>(32768, (CandidateKeys.size() + poolSize() - 1) / poolSize());
    const auto first = CandidateKeys.begin();
    const size_t count = CandidateKeys.size();
    const auto keepAlive = [&pump](qint64) {
        if (pump) pump();
        return true; // a sort half done is no order at all
    };
    PoolWork slices;
    slices.item = [&](size_t i, const std::atomic<bool> &) {
        const size_t begin = i * slice;
        std::sort(first + qsizetype(begin), first + qsizetype(std::min(begin + slice, count)),
                  before);
    };
    (void)runOnPool((count + slice - 1) / slice, slices, keepAlive);
    for (size_t width = slice; width < count; width *= 2) {
        PoolWork merges;
        merges.item = [&](size_t i, const std::atomic<bool> &) {
            const size_t begin = i * 2 * width;
            std::inplace_merge(first + qsizetype(begin), first + qsizetype(begin + width),
                               first + qsizetype(std::min(begin + 2 * width, count)), before);
        };
        (void)runOnPool((count - width + 2 * width - 1) / (2 * width), merges, keepAlive);
    }
}

qint64 DuplicateCollector::memoryBytes() const
{
    qint64 bytes = qint64(CandidateKeys.capacity() * sizeof(Candidate)) + m_names.capacity();
    for (const QByteArray &folder : CandidateFolders)
        bytes += qint64(sizeof(QByteArray)) + folder.capacity() + 24; // + heap header
    bytes += qint64(m_masterSizes.size()) * 32 + qint64(m_masterNames.size()) * 64;
    return bytes;
}

} // namespace clarivex
