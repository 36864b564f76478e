#pragma once

// The file groups of the temporary-file scan and the rules that read them:
// which masks a scan searches for, and which group colours a found row.

#include "core/shell/settings_catalogue.h" // FileGroup, factoryFileGroups()

#include <QList>
#include <QString>

namespace clarivex {

// The masks of every checked group, in group order, with nothing in between.
[[nodiscard]] QString scanMaskText(const QList<FileGroup> &groups);

// The index of the group whose colour a row named `name` takes, or -1: for
// each group in order, checked or not, the first of these that holds makes it
// match, and the last group that matches wins:
//   the extension (from the last ".", dot included) occurs in the masks;
//   the name occurs in the masks;
//   the masks and the name both contain "~";
//   the masks contain "$" and the extension contains "$".
// Everything is compared in lower case.
[[nodiscard]] int colourGroupOf(const QString &name, const QList<FileGroup> &groups);

// "Save" of the mask edit: nothing for an empty text, else the text ending with ";".
[[nodiscard]] QString savedMasks(const QString &editText);

// The finder's size bounds for the page's size filter: with Max, the upper
// bound is N KB (2097151 KB when N is not a number); otherwise the lower bound
// is N KB (0 when N is not a number). Numbers beyond what 32 bits hold in
// bytes are held at that limit.
struct SizeBounds
{
    qint32 minSize = 0;
    qint32 maxSize = 2147483647;
};
[[nodiscard]] SizeBounds sizeBounds(bool useSize, bool isMax, const QString &kilobytes);

} // namespace clarivex
