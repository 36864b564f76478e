#pragma once

// What the tips panel says: about the selected found file, by the kind of scan
// that found it, or about the page shown when no file is selected.

#include <QString>

#include <optional>

namespace clarivex {

struct Tip
{
    QString heading;
    QString text; // empty: the heading alone
};

// The tip for a selected row; nothing for dead shortcuts (the panel stays empty).
// `scanKind` is 0 temporary files, 1 duplicates, 2 directories, 3 dead shortcuts.
[[nodiscard]] std::optional<Tip> tipForFile(int scanKind, const QString &fileName);
// The tip for a selected dead shortcut: where it points, which is gone.
[[nodiscard]] Tip deadShortcutTip(const QString &target);
// The tip for a page when no row is selected. `deadShortcutsText` is the
// explanation shown on the dead-shortcuts page itself.
[[nodiscard]] Tip tipForPage(const QString &page, const QString &deadShortcutsText);

} // namespace clarivex
