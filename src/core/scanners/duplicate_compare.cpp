#include "core/scanners/duplicate_compare.h"

#include "core/base/formats.h"
#include "core/base/path_text.h"
#include "core/scanners/duplicate_pool.h"
#include "core/scanners/duplicate_signing.h"
#include "core/scanners/file_signature.h"
#include "core/search/kv_mask.h"

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

namespace clarivex {

struct DuplicateCompare::Member
{
    // The path as its folder and name, both kept by the collector.
    QByteArrayView folder;
    QByteArrayView name;
    QByteArray lowerName; // with "Require same name" or keyed by name
    FileIdentity identity;
    ContentHash hash; // of the whole content (by size)
    qint32 signature = 0;
    bool fromMaster = false;
    const Candidate *source = nullptr;
};

// One run of equal size and the sets found in it, master first in each.
struct DuplicateCompare::PlannedGroup
{
    size_t begin = 0;
    size_t end = 0;
    qint64 size = 0;
    bool planned = false;
    std::vector<std::vector<Member>> sets;
};

namespace {

// Masters first (in phases), then by path with letter case ignored, then
// byte for byte.
template <typename M> bool pathOrder(const M &a, const M &b)
{
    if (a.fromMaster != b.fromMaster) return a.fromMaster;
    const int folded = comparePathPieces(a.folder, a.name, b.folder, b.name, true);
    if (folded != 0) return folded < 0;
    return comparePathPieces(a.folder, a.name, b.folder, b.name, false) < 0;
}

// Drops every later path of a file already in the list (the list is sorted).
template <typename T> void dropSecondPaths(std::vector<T> &members)
{
    std::set<std::pair<dev_t, ino_t>> seen;
    std::erase_if(members, [&](const T &m) {
        return !seen.insert({m.identity.device, m.identity.inode}).second;
    });
}

// What the walk saw of a candidate, as the cache keys it; nothing when the
// walk did not say.
std::optional<HashCacheKey> cacheKeyOf(const Candidate &c)
{
    if ((c.device == 0 && c.inode == 0) || c.changed == 0) return std::nullopt;
    return HashCacheKey{c.device, c.inode, c.size, c.modified, c.changed};
}

bool sameFile(const SignedCandidate &entry, const HashCacheKey &key)
{
    return quint64(entry.identity.device) == key.device &&
           quint64(entry.identity.inode) == key.inode;
}

qint64 floorSeconds(qint64 nanoseconds)
{
    return nanoseconds / 1000000000 - (nanoseconds % 1000000000 < 0 ? 1 : 0);
}

} // namespace

bool DuplicateCompare::keepGoing() const
{
    if (pump) pump();
    return !m_continue || *m_continue;
}

void DuplicateCompare::setStatus(int panel, const QString &text) const
{
    if (status) status(panel, text);
}

void DuplicateCompare::run(DuplicateCollector &collector, const DuplicateScanOptions &options,
                           const bool *scanContinue)
{
    FoundFileCount = 0;
    FoundByteTotal = 0;
    SetCount = 0;
    SignedFromCache = 0;
    WholeFromCache = 0;
    m_continue = scanContinue;
    m_collector = &collector;
    m_checkName = options.checkFileName;
    m_byDateTime = options.checkFileTimeStamp;
    setStatus(0, QString());
    std::vector<Candidate> &keys = collector.CandidateKeys;
    m_phases =
        std::any_of(keys.cbegin(), keys.cend(), [](const Candidate &c) { return c.fromMaster; });
    const qint64 total = qint64(keys.size());
    if (!collector.byName()) {
        signAll(collector);
        if (keepGoing()) hashAll(collector);
    }
    if (collector.byName()) {
        qint64 walked = 0;
        size_t end = keys.size();
        while (end > 0 && keepGoing()) {
            size_t begin = end - 1;
            while (begin > 0 && collector.sameKey(keys[begin - 1], keys[end - 1]))
                --begin;
            const Candidate *first = keys.data() + begin;
            const Candidate *last = keys.data() + end;
            if (comparable(first, last)) {
                setStatus(1, QStringLiteral("Comparing files with the same name ..."));
                compareByName(collector, first, last);
            }
            walked += qint64(end - begin);
            keys.resize(begin); // the walked keys are consumed
            if (progress) progress(walked);
            end = begin;
        }
    } else if (keepGoing()) {
        compareAllBySize(collector);
    }
    m_signed = {};
    m_collector = nullptr;
    if (m_continue && !*m_continue) setStatus(1, QStringLiteral("Comparison interrupted"));
    if (FoundFileCount > 0) setStatus(0, QStringLiteral("Duplicates found...."));
    collector.clear();
}

bool DuplicateCompare::comparable(const Candidate *first, const Candidate *last) const
{
    return last - first >= 2 &&
           (!m_phases || std::any_of(first, last, [](const Candidate &c) { return c.fromMaster; }));
}

void DuplicateCompare::signAll(const DuplicateCollector &collector)
{
    const std::vector<Candidate> &keys = collector.CandidateKeys;
    m_signed.assign(keys.size(), SignedCandidate{});
    std::vector<quint32> order; // the candidates to open, by folder
    for (size_t begin = 0; begin < keys.size();) {
        size_t end = begin + 1;
        while (end < keys.size() && collector.sameKey(keys[begin], keys[end]))
            ++end;
        if (comparable(keys.data() + begin, keys.data() + end)) {
            for (size_t i = begin; i < end; ++i)
                order.push_back(quint32(i));
        }
        begin = end;
    }
    if (cache && keys.size() > 0) signFromCache(keys, order);
    const qint64 total = qint64(keys.size());
    const qint64 count = std::max<qint64>(qint64(order.size()), 1);
    signCandidates(collector, order, m_byDateTime, m_signed, [&](qint64 done) {
        if (!keepGoing()) return false;
        if (progress) progress(done * total / count / 4);
        return true;
    });
    if (!cache || m_byDateTime) return; // the time alone says nothing of the content
    size_t done = 0;
    for (const quint32 i : order) {
        if ((++done & 4095) == 0 && pump) pump(); // a map entry each: the window stays live
        const SignedCandidate &entry = m_signed[i];
        const std::optional<HashCacheKey> key = cacheKeyOf(keys[i]);
        if (entry.ok && keys[i].size > 0 && key && sameFile(entry, *key))
            cache->putEdges(*key, entry.signature, entry.hash);
    }
}

void DuplicateCompare::signFromCache(const std::vector<Candidate> &keys,
                                     std::vector<quint32> &order)
{
    // Looked up on the pool (a rescan finds nearly every file here), each
    // chunk keeping the candidates the cache does not know and the entries
    // to be marked seen; both are dealt with here, in order, afterwards.
    constexpr size_t kChunk = 8192;
    const size_t chunks = (order.size() + kChunk - 1) / kChunk;
    std::vector<std::vector<quint32>> missed(chunks);
    std::vector<std::vector<quint32>> stale(chunks);
    PoolWork work;
    work.item = [&](size_t chunk, const std::atomic<bool> &) {
        const size_t last = std::min(order.size(), (chunk + 1) * kChunk);
        for (size_t k = chunk * kChunk; k < last; ++k) {
            const quint32 i = order[k];
            const Candidate &c = keys[i];
            const std::optional<HashCacheKey> key = c.size == 0 ? std::nullopt : cacheKeyOf(c);
            bool old = false;
            const HashCacheEntry *found = key ? cache->peek(*key, old) : nullptr;
            if (!found) {
                missed[chunk].push_back(i);
                continue;
            }
            if (old) stale[chunk].push_back(i);
            SignedCandidate &out = m_signed[i];
            out.identity = {dev_t(c.device), ino_t(c.inode)};
            if (m_byDateTime) {
                out.signature = qint32(dosDateTime(floorSeconds(c.modified)) & 0x7FFFFFFF);
            } else {
                out.signature = found->signature;
                out.hash = found->edges;
                out.whole = edgesCoverWhole(c.size);
            }
            out.ok = true;
        }
    };
    (void)runOnPool(chunks, work, [this](qint64) {
        if (pump) pump();
        return true; // a lookup half done would read what the cache holds again
    });
    const size_t looked = order.size();
    order.clear();
    size_t marked = 0;
    for (size_t chunk = 0; chunk < chunks; ++chunk) {
        order.insert(order.end(), missed[chunk].begin(), missed[chunk].end());
        for (const quint32 i : stale[chunk])
            (void)cache->find(*cacheKeyOf(keys[i])); // marks it seen, counts the hit
        marked += stale[chunk].size();
    }
    const qint64 taken = qint64(looked - order.size());
    SignedFromCache += taken;
    cache->hits += taken - qint64(marked);
}

void DuplicateCompare::hashAll(const DuplicateCollector &collector)
{
    // The files that still share size, signature and head-and-tail hash (and
    // name, with "Require same name") with another file are read whole.
    const std::vector<Candidate> &keys = collector.CandidateKeys;
    std::vector<quint32> wanted;
    std::vector<quint32> group;
    std::vector<std::pair<QByteArray, quint32>> named;
    qint64 bytes = 0;
    const auto take = [&](const quint32 *first, const quint32 *last) {
        // Two files at least: paths of one file (hard links) are no set.
        const FileIdentity &one = m_signed[*first].identity;
        if (std::all_of(first, last, [&](quint32 i) {
                return m_signed[i].identity.device == one.device &&
                       m_signed[i].identity.inode == one.inode;
            }))
            return;
        for (const quint32 *i = first; i != last; ++i) {
            if (m_signed[*i].whole) continue;
            wanted.push_back(*i);
            bytes += keys[*i].size;
        }
    };
    for (size_t begin = 0; begin < keys.size();) {
        size_t end = begin + 1;
        while (end < keys.size() && collector.sameKey(keys[begin], keys[end]))
            ++end;
        group.clear();
        if (comparable(keys.data() + begin, keys.data() + end)) {
            for (size_t i = begin; i < end; ++i) {
                if (m_signed[i].ok) group.push_back(quint32(i));
            }
        }
        std::sort(group.begin(), group.end(), [this](quint32 a, quint32 b) {
            const SignedCandidate &x = m_signed[a];
            const SignedCandidate &y = m_signed[b];
            return x.signature != y.signature ? x.signature < y.signature : x.hash < y.hash;
        });
        for (size_t from = 0; from < group.size();) {
            size_t to = from + 1;
            const SignedCandidate &first = m_signed[group[from]];
            while (to < group.size() && m_signed[group[to]].signature == first.signature &&
                   m_signed[group[to]].hash == first.hash)
                ++to;
            if (to - from >= 2 && !m_checkName) {
                take(group.data() + from, group.data() + to);
            } else if (to - from >= 2) {
                named.clear();
                for (size_t k = from; k < to; ++k)
                    named.emplace_back(lowerName(collector.nameOf(keys[group[k]]).toByteArray()),
                                       group[k]);
                std::sort(named.begin(), named.end());
                std::vector<quint32> same;
                for (size_t a = 0; a < named.size();) {
                    size_t b = a + 1;
                    while (b < named.size() && named[b].first == named[a].first)
                        ++b;
                    same.clear();
                    for (size_t k = a; k < b; ++k)
                        same.push_back(named[k].second);
                    if (same.size() >= 2) take(same.data(), same.data() + same.size());
                    a = b;
                }
            }
            from = to;
        }
        begin = end;
    }
    // Whole-content hashes the cache still holds need no reading.
    if (cache) {
        std::erase_if(wanted, [&](quint32 i) {
            const std::optional<HashCacheKey> key = cacheKeyOf(keys[i]);
            const HashCacheEntry *found = key ? cache->find(*key) : nullptr;
            // A small file's edges are its whole content (read by time alone,
            // it was never read whole).
            const ContentHash *whole = !found                          ? nullptr
                                       : found->hasWhole               ? &found->whole
                                       : edgesCoverWhole(keys[i].size) ? &found->edges
                                                                       : nullptr;
            if (!whole || !sameFile(m_signed[i], *key)) return false;
            m_signed[i].hash = *whole;
            m_signed[i].whole = true;
            bytes -= keys[i].size;
            ++WholeFromCache;
            return true;
        });
    }
    const qint64 total = qint64(keys.size());
    const qint64 count = std::max<qint64>(bytes, 1);
    hashCandidates(collector, wanted, m_signed, [&](qint64 done) {
        if (!keepGoing()) return false;
        if (progress) progress(total / 4 + done * total / count / 4);
        return true;
    });
    if (!cache) return;
    for (const quint32 i : wanted) {
        const std::optional<HashCacheKey> key = cacheKeyOf(keys[i]);
        if (m_signed[i].ok && m_signed[i].whole && key && sameFile(m_signed[i], *key))
            cache->putWhole(*key, m_signed[i].hash);
    }
}

void DuplicateCompare::compareAllBySize(const DuplicateCollector &collector)
{
    const std::vector<Candidate> &keys = collector.CandidateKeys;
    const qint64 total = qint64(keys.size());
    // The runs from the largest size down, as they are listed.
    std::vector<PlannedGroup> groups;
    for (size_t end = keys.size(); end > 0;) {
        size_t begin = end - 1;
        while (begin > 0 && collector.sameKey(keys[begin - 1], keys[end - 1]))
            --begin;
        if (comparable(keys.data() + begin, keys.data() + end)) {
            PlannedGroup &group = groups.emplace_back();
            group.begin = begin;
            group.end = end;
            group.size = keys[begin].size;
        }
        end = begin;
    }
    PoolWork work;
    work.batch = 64;
    work.item = [&](size_t i, const std::atomic<bool> &stop) {
        groups[i].planned = planBySize(collector, groups[i], stop);
    };
    (void)runOnPool(groups.size(), work, [this](qint64) { return keepGoing(); });
    // Listed up to the first run a Stop left unsplit.
    for (PlannedGroup &group : groups) {
        if (!group.planned || !keepGoing()) break;
        if (status) { // the text alone costs more than comparing most runs
            setStatus(1,
                      QStringLiteral("Comparing %1 byte files ...").arg(formatGrouped(group.size)));
        }
        std::vector<const Member *> set;
        for (const std::vector<Member> &members : group.sets) {
            if (!keepGoing()) break;
            set.clear();
            for (const Member &member : members)
                set.push_back(&member);
            listSet(set, group.size, true);
        }
        group.sets = {};
        if (progress) progress((total + total - qint64(group.begin)) / 2);
    }
    if (progress && keepGoing()) progress(total);
}

bool DuplicateCompare::planBySize(const DuplicateCollector &collector, PlannedGroup &group,
                                  const std::atomic<bool> &stop) const
{
    const std::vector<Candidate> &keys = collector.CandidateKeys;
    std::vector<quint32> bySignature;
    bySignature.reserve(group.end - group.begin);
    for (size_t i = group.begin; i < group.end; ++i) {
        if (m_signed[i].ok) bySignature.push_back(quint32(i));
    }
    // In candidate order within a signature, as a stable sort would leave
    // them (without the buffer it takes for every run).
    std::sort(bySignature.begin(), bySignature.end(), [this](quint32 a, quint32 b) {
        const qint32 x = m_signed[a].signature;
        const qint32 y = m_signed[b].signature;
        return x != y ? x < y : a < b;
    });
    // Only files that share their signature with another get a path.
    std::vector<Member> members;
    for (size_t from = 0; from < bySignature.size();) {
        size_t to = from + 1;
        const qint32 signature = m_signed[bySignature[from]].signature;
        while (to < bySignature.size() && m_signed[bySignature[to]].signature == signature)
            ++to;
        if (to - from >= 2) {
            if (stop.load(std::memory_order_relaxed)) return false;
            members.clear();
            for (size_t k = from; k < to; ++k) {
                const Candidate &c = keys[bySignature[k]];
                const SignedCandidate &entry = m_signed[bySignature[k]];
                if (!entry.whole) continue; // never read whole: alike no other file
                Member member;
                member.folder = collector.CandidateFolders[c.folder];
                member.name = collector.nameOf(c);
                member.identity = entry.identity;
                member.hash = entry.hash;
                member.signature = signature;
                member.fromMaster = c.fromMaster;
                member.source = &c;
                if (m_checkName) member.lowerName = lowerName(collector.nameOf(c).toByteArray());
                members.push_back(std::move(member));
            }
            splitByName(members, group);
        }
        from = to;
    }
    return true;
}

void DuplicateCompare::splitByName(std::vector<Member> &members, PlannedGroup &group) const
{
    std::sort(members.begin(), members.end(), [](const Member &a, const Member &b) {
        if (a.lowerName != b.lowerName) return a.lowerName < b.lowerName;
        return pathOrder(a, b);
    });
    dropSecondPaths(members);
    qsizetype begin = 0;
    const qsizetype count = qsizetype(members.size());
    while (begin < count) {
        qsizetype end = begin + 1;
        while (end < count && members[end].lowerName == members[begin].lowerName)
            ++end;
        if (end - begin >= 2) splitIntoSets(members, begin, end, group);
        begin = end;
    }
}

void DuplicateCompare::splitIntoSets(std::vector<Member> &members, qsizetype begin, qsizetype end,
                                     PlannedGroup &group) const
{
    const qint64 size = group.size;
    // Each file joins the first set (in path order) of its content, or starts
    // one: a set's master is the first of its files in path order.
    std::vector<std::vector<const Member *>> sets;
    for (qsizetype i = begin; i < end; ++i) {
        const Member &member = members[size_t(i)];
        const auto same = std::find_if(sets.begin(), sets.end(), [&](const auto &set) {
            return size == 0 || set.front()->hash == member.hash;
        });
        if (same != sets.end())
            same->push_back(&member);
        else
            sets.push_back({&member});
    }
    for (const auto &set : sets) {
        if (set.size() < 2 || (m_phases && !set.front()->fromMaster)) continue;
        std::vector<Member> &kept = group.sets.emplace_back();
        kept.reserve(set.size());
        for (const Member *member : set)
            kept.push_back(*member);
    }
}

void DuplicateCompare::compareByName(const DuplicateCollector &collector, const Candidate *first,
                                     const Candidate *last)
{
    std::vector<Member> members;
    for (const Candidate *c = first; c != last; ++c) {
        if (!keepGoing()) return;
        Member member;
        member.folder = collector.CandidateFolders[c->folder];
        member.name = collector.nameOf(*c);
        member.source = c;
        if (c->device != 0 || c->inode != 0) {
            member.identity = {dev_t(c->device), ino_t(c->inode)};
        } else {
            struct stat facts
            {
            };
            if (::lstat(collector.pathOf(*c).constData(), &facts) != 0 || !S_ISREG(facts.st_mode))
                continue;
            member.identity = {facts.st_dev, facts.st_ino};
        }
        member.lowerName = lowerName(collector.nameOf(*c).toByteArray());
        member.fromMaster = c->fromMaster;
        members.push_back(std::move(member));
    }
    std::sort(members.begin(), members.end(), [](const Member &a, const Member &b) {
        if (a.lowerName != b.lowerName) return a.lowerName < b.lowerName;
        return pathOrder(a, b);
    });
    dropSecondPaths(members);
    size_t begin = 0;
    while (begin < members.size()) {
        size_t end = begin + 1;
        while (end < members.size() && members[end].lowerName == members[begin].lowerName)
            ++end;
        std::vector<const Member *> set;
        for (size_t i = begin; i < end; ++i)
            set.push_back(&members[i]);
        if (set.size() >= 2 && (!m_phases || set.front()->fromMaster)) listSet(set, 0, false);
        begin = end;
    }
}

bool DuplicateCompare::listMember(const Member &member, bool master)
{
    if (!addRow) return true;
    const Candidate &c = *member.source;
    TFindData file;
    file.name = m_collector->nameOf(c).toByteArray();
    file.size = c.size;
    file.lastWriteTime = c.modified;
    file.changeTime = c.changed;
    file.lastAccessTime = c.accessed;
    file.creationTime = c.created;
    file.attributes = c.attributes;
    file.device = quint64(member.identity.device);
    file.inode = quint64(member.identity.inode);
    return addRow(m_collector->CandidateFolders[c.folder], c.folder, file, master, SetCount);
}

void DuplicateCompare::listSet(const std::vector<const Member *> &set, qint64 size, bool countBytes)
{
    ++SetCount;
    if (addSeparator) addSeparator();
    (void)listMember(*set.front(), true);
    for (size_t i = 1; i < set.size(); ++i) {
        if (!listMember(*set[i], false)) continue; // not listed
        ++FoundFileCount;
        if (countBytes) FoundByteTotal += size;
    }
}

} // namespace clarivex
