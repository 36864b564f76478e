#include "core/scanners/duplicate_keep.h"

#include "core/search/found_file_model.h"

#include <QHash>

#include <algorithm>

namespace clarivex {

namespace {

// The rows of each set (by run and set number), in list order.
QList<QList<int>> setsOf(const FoundFileModel &model)
{
    QList<QList<int>> sets;
    QHash<qint64, qsizetype> index;
    for (int row = 0; row < model.RowCount(); ++row) {
        const int set = model.SetOf(row);
        if (set < 0) continue;
        const qint64 key = (qint64(model.RunOf(row)) << 32) | quint32(set);
        auto found = index.constFind(key);
        if (found == index.cend()) {
            found = index.insert(key, sets.size());
            sets.append(QList<int>());
        }
        sets[*found] << row;
    }
    return sets;
}

int masterOf(const FoundFileModel &model, const QList<int> &rows)
{
    for (int row : rows) {
        if (model.IsMaster(row)) return row;
    }
    return -1;
}

// The row the rule keeps among `rows` (not empty); ties go to the first listed.
int chosenBy(const FoundFileModel &model, const QList<int> &rows, KeepRule rule)
{
    int best = rows.first();
    for (int row : rows) {
        const FoundFileRow &a = model.Row(row);
        const FoundFileRow &b = model.Row(best);
        bool better = false;
        switch (rule) {
        case KeepRule::First:
            break;
        case KeepRule::Newest:
            better = a.lastWriteTime > b.lastWriteTime;
            break;
        case KeepRule::Oldest:
            better = a.lastWriteTime < b.lastWriteTime;
            break;
        case KeepRule::ShortestPath:
            better = model.FilePath(row).size() < model.FilePath(best).size();
            break;
        }
        if (better) best = row;
    }
    return best;
}

// `keep` becomes the master of the set of `rows`.
void makeMaster(FoundFileModel &model, const QList<int> &rows, int keep)
{
    for (int row : rows)
        model.SetMaster(row, row == keep);
}

QList<int> references(const FoundFileModel &model, const QList<int> &rows)
{
    QList<int> found;
    for (int row : rows) {
        if (model.IsReference(row)) found << row;
    }
    return found;
}

} // namespace

QString keepRuleName(KeepRule rule)
{
    switch (rule) {
    case KeepRule::First:
        return QStringLiteral("first");
    case KeepRule::Newest:
        return QStringLiteral("newest");
    case KeepRule::Oldest:
        return QStringLiteral("oldest");
    case KeepRule::ShortestPath:
        break;
    }
    return QStringLiteral("shortest-path");
}

std::optional<KeepRule> keepRuleFromName(const QString &name)
{
    for (KeepRule rule :
         {KeepRule::First, KeepRule::Newest, KeepRule::Oldest, KeepRule::ShortestPath}) {
        if (keepRuleName(rule) == name) return rule;
    }
    return std::nullopt;
}

bool isInFolder(const QByteArray &path, const QByteArray &folder)
{
    QByteArray base = folder;
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    if (base.isEmpty()) return false;
    if (base == "/") return path.startsWith('/');
    return path.startsWith(base) && (path.size() == base.size() || path[base.size()] == '/');
}

int markReferenceFolders(FoundFileModel &model, const QList<QByteArray> &folders)
{
    int marked = 0;
    for (const QList<int> &rows : setsOf(model)) {
        int firstReference = -1;
        for (int row : rows) {
            const QByteArray path = model.FilePath(row);
            const bool reference = std::any_of(folders.cbegin(), folders.cend(),
                                               [&](const auto &f) { return isInFolder(path, f); });
            model.SetReference(row, reference);
            if (!reference) continue;
            ++marked;
            if (firstReference < 0) firstReference = row;
        }
        const int master = masterOf(model, rows);
        if (firstReference >= 0 && (master < 0 || !model.IsReference(master)))
            makeMaster(model, rows, firstReference);
    }
    return marked;
}

QList<int> keepOnePerSet(FoundFileModel &model, KeepRule rule)
{
    QList<int> selected;
    for (const QList<int> &rows : setsOf(model)) {
        const QList<int> kept = references(model, rows);
        const int keep = chosenBy(model, kept.isEmpty() ? rows : kept, rule);
        makeMaster(model, rows, keep);
        for (int row : rows) {
            if (row != keep && !model.IsReference(row)) selected << row;
        }
    }
    std::sort(selected.begin(), selected.end());
    return selected;
}

QList<int> selectInFolder(FoundFileModel &model, const QByteArray &folder)
{
    QByteArray inside = folder;
    if (!inside.endsWith('/')) inside += '/';
    QList<int> selected;
    for (const QList<int> &rows : setsOf(model)) {
        QList<int> there;
        QList<int> elsewhere;
        for (int row : rows)
            (model.FolderOf(row) == inside && !model.IsReference(row) ? there : elsewhere) << row;
        if (there.isEmpty() || elsewhere.isEmpty()) continue; // nothing there, or every copy
        const int master = masterOf(model, rows);
        if (master < 0 || there.contains(master)) {
            const QList<int> kept = references(model, elsewhere);
            makeMaster(model, rows,
                       chosenBy(model, kept.isEmpty() ? elsewhere : kept, KeepRule::First));
        }
        selected << there;
    }
    std::sort(selected.begin(), selected.end());
    return selected;
}

} // namespace clarivex
