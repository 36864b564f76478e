#pragma once

// Which copy of each duplicate set is kept, chosen after the scan:
//
//   - Reference folders: a file in one (or below it) is marked as such and
//     is never cleaned (clean_selection.h enforces it for every clean); a set
//     with such a file has one of them as its master.
//   - Keep rules: in each set the newest, the oldest, the one with the
//     shortest path, or the first listed becomes the master, and the others
//     are the rows to select. Among a set's reference files only, when it
//     has any.
//   - One folder: the set's files directly in that folder are selected; when
//     the master is one of them another copy becomes the master; a set whose
//     every copy is there keeps its master.
//
// The master is always the kept one: no helper selects a master, or a file of
// a reference folder.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace clarivex {

class FoundFileModel;

enum class KeepRule : quint8 { First, Newest, Oldest, ShortestPath };

// "first", "newest", "oldest", "shortest-path".
[[nodiscard]] QString keepRuleName(KeepRule rule);
[[nodiscard]] std::optional<KeepRule> keepRuleFromName(const QString &name);

// `path` is `folder` or below it ("/a/b" holds "/a/b/c", not "/a/bc").
[[nodiscard]] bool isInFolder(const QByteArray &path, const QByteArray &folder);

// Marks the duplicates in the folders and makes a set's master one of its
// reference files (the first listed) where its master is not one already.
// The number of rows marked.
int markReferenceFolders(FoundFileModel &model, const QList<QByteArray> &folders);

// Applies the rule to every set; the rows to select (every set's other rows,
// references left out), in list order.
[[nodiscard]] QList<int> keepOnePerSet(FoundFileModel &model, KeepRule rule);

// The rows of every set whose file is directly in `folder`, as above.
[[nodiscard]] QList<int> selectInFolder(FoundFileModel &model, const QByteArray &folder);

} // namespace clarivex
