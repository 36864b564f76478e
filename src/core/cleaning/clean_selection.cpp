#include "core/cleaning/clean_selection.h"

#include "core/search/found_file_model.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <unordered_map>

namespace clarivex::cleaning {

namespace {

// A file as the scan saw it: device and inode, or its path where the device
// was not recorded.
struct FileKey
{
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray path;
    bool operator==(const FileKey &other) const
    {
        return device == other.device && inode == other.inode && path == other.path;
    }
};

struct FileKeyHash
{
    size_t operator()(const FileKey &key) const
    {
        return size_t(key.device * 0x9E3779B97F4A7C15ull) ^ size_t(key.inode) ^
               size_t(qHash(key.path));
    }
};

FileKey fileKey(const FoundFileModel &model, int row)
{
    const dev_t device = model.DeviceOf(row);
    if (device != 0) return {quint64(device), model.Row(row).inode, {}};
    return {0, 0, model.FilePath(row)};
}

// One duplicate set: its files (each once) and which of them a clean takes.
struct DuplicateSet
{
    std::vector<FileKey> files;
    int masterFile = -1;         // index into files
    std::vector<int> rowsOf;     // per file: the first row that lists it as a set member
    std::vector<bool> taken;     // per file
    std::vector<bool> reference; // per file: in a reference folder
};

struct SetMember
{
    qsizetype set;
    int file;
};

QList<int> candidates(const FoundFileModel &model, const CleanChoice &choice)
{
    QList<int> rows;
    const int count = model.RowCount();
    switch (choice.scope) {
    case CleanScope::Selected:
        rows = choice.selected;
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        rows.removeIf([&](int row) { return model.IsSeparator(row); });
        break;
    case CleanScope::All:
    case CleanScope::Automatic:
        rows.reserve(count);
        for (int row = 0; row < count; ++row) {
            if (model.IsSeparator(row)) continue;
            if (choice.scope == CleanScope::Automatic &&
                (model.ScanOf(row) != choice.scan || model.RunOf(row) != choice.run))
                continue;
            rows << row;
        }
        break;
    }
    return rows;
}

QString copiesText(int copies)
{
    return copies == 1 ? QStringLiteral("1 copy remains")
                       : QStringLiteral("%1 copies remain").arg(copies);
}

} // namespace

void CleanSelection::dropMasters()
{
    for (const MasterChoice &master : std::as_const(masters))
        rows.removeOne(master.row);
    masters.clear();
}

CleanSelection selectRowsToClean(const FoundFileModel &model, const CleanChoice &choice)
{
    CleanSelection selection;
    const QList<int> chosen = candidates(model, choice);

    // The sets on the list, by their files.
    std::vector<DuplicateSet> sets;
    QHash<qint64, qsizetype> setIndex; // (run, set number) -> sets
    std::unordered_map<FileKey, SetMember, FileKeyHash> members;
    for (int row = 0; row < model.RowCount(); ++row) {
        const FoundFileRow &facts = model.Row(row);
        if (!facts.isDuplicate()) continue;
        const qint64 id = (qint64(facts.run) << 32) | quint32(facts.group);
        auto found = setIndex.constFind(id);
        if (found == setIndex.cend()) {
            found = setIndex.insert(id, qsizetype(sets.size()));
            sets.emplace_back();
        }
        DuplicateSet &set = sets[size_t(*found)];
        FileKey key = fileKey(model, row);
        if (const auto listed = members.find(key); listed != members.end()) {
            // One file listed twice counts once; in a reference folder by either row.
            if (facts.reference)
                sets[size_t(listed->second.set)].reference[size_t(listed->second.file)] = true;
            continue;
        }
        const int file = int(set.files.size());
        if (facts.master && set.masterFile < 0) set.masterFile = file;
        members.emplace(key, SetMember{*found, file});
        set.files.push_back(std::move(key));
        set.rowsOf.push_back(row);
        set.taken.push_back(false);
        set.reference.push_back(facts.reference);
    }
    if (sets.empty()) {
        selection.rows = chosen;
        return selection;
    }

    // What each chosen row would take.
    QList<std::pair<int, const SetMember *>> taking; // row, the set file it is (or none)
    taking.reserve(chosen.size());
    for (int row : chosen) {
        const auto member = members.find(fileKey(model, row));
        if (member == members.end()) {
            taking.append({row, nullptr});
            continue;
        }
        DuplicateSet &set = sets[size_t(member->second.set)];
        if (member->second.file == set.masterFile && choice.scope != CleanScope::Selected) {
            selection.keptMasters << row;
            continue;
        }
        if (set.reference[size_t(member->second.file)]) {
            selection.keptReferences << row;
            continue;
        }
        set.taken[size_t(member->second.file)] = true;
        taking.append({row, &member->second});
    }
    // Every copy of a set taken: one stays, the master when it was chosen.
    for (DuplicateSet &set : sets) {
        if (std::find(set.taken.begin(), set.taken.end(), false) != set.taken.end()) continue;
        const int keep = set.masterFile >= 0 ? set.masterFile : 0;
        set.taken[size_t(keep)] = false;
    }
    QHash<qsizetype, int> askedSets;
    for (const auto &[row, member] : std::as_const(taking)) {
        if (!member) {
            selection.rows << row;
            continue;
        }
        const DuplicateSet &set = sets[size_t(member->set)];
        if (!set.taken[size_t(member->file)]) {
            selection.keptLastCopy << row;
            continue;
        }
        selection.rows << row;
        if (member->file == set.masterFile && !askedSets.contains(member->set)) {
            askedSets.insert(member->set, row);
            const auto left = std::count(set.taken.begin(), set.taken.end(), false);
            selection.masters.append({row, int(left)});
        }
    }
    // A master listed by two rows is asked about once; both go or stay.
    if (!selection.masters.isEmpty()) {
        for (const auto &[row, member] : std::as_const(taking)) {
            if (!member || !askedSets.contains(member->set)) continue;
            const DuplicateSet &set = sets[size_t(member->set)];
            if (member->file == set.masterFile && askedSets.value(member->set) != row &&
                selection.rows.contains(row))
                selection.masters.append({row, -1});
        }
    }
    return selection;
}

QString masterQuestion(const FoundFileModel &model, const CleanSelection &selection)
{
    QList<MasterChoice> asked;
    for (const MasterChoice &master : selection.masters) {
        if (master.copiesLeft >= 0) asked << master;
    }
    if (asked.isEmpty()) return {};
    if (asked.size() == 1)
        return QStringLiteral("'%1' is the first copy (master) of its duplicate set; %2 of the "
                              "set after this clean.\n\nDo you want to clean it too?")
            .arg(QFile::decodeName(model.FilePath(asked.first().row)),
                 copiesText(asked.first().copiesLeft));
    int fewest = asked.first().copiesLeft;
    for (const MasterChoice &master : asked)
        fewest = std::min(fewest, master.copiesLeft);
    return QStringLiteral("%1 of the selected files are the first copy (master) of their "
                          "duplicate set; of each set at least %2 after this clean.\n\n"
                          "Do you want to clean them too?")
        .arg(asked.size())
        .arg(copiesText(fewest));
}

} // namespace clarivex::cleaning
