#pragma once

// The check lists of the scan pages (masks, folders to skip, directories) are
// list widgets with checkable rows; these helpers move their entries to and
// from the settings and do the pages' add and remove actions.

#include "core/base/settings_types.h" // CheckEntry

#include <QList>

class QListWidget;

namespace clarivex {

// Replaces the rows by the entries, in order.
void setCheckEntries(QListWidget *list, const QList<CheckEntry> &entries);
[[nodiscard]] QList<CheckEntry> checkEntries(const QListWidget *list);
// The texts of the checked rows, in order.
[[nodiscard]] QStringList checkedTexts(const QListWidget *list);
void addCheckEntry(QListWidget *list, const QString &text, bool checked);
// Deletes the current row; false when there is none.
bool removeCurrentEntry(QListWidget *list);

} // namespace clarivex
