#pragma once

// Byte paths split into folder and name, and the new names given to a file
// when its name is taken: "report (2).txt" for a collision, "report
// (restored).txt" for a file put back beside one that is already there.

#include <QByteArray>

namespace clarivex::cleaning {

struct PathParts
{
    QByteArray folder; // "/" for an entry of the root
    QByteArray name;   // empty for "/" itself
};

// Trailing "/" are dropped first; a relative path's folder is ".".
[[nodiscard]] PathParts splitPath(const QByteArray &path);
[[nodiscard]] QByteArray joinPath(const QByteArray &folder, const QByteArray &name);

// The n-th name tried for `name`: n = 1 is the name itself, then
// "stem (n).ext". A leading "." is part of the stem (".profile (2)").
[[nodiscard]] QByteArray collisionName(const QByteArray &name, int n);
// "stem (restored).ext" for n = 1, then "stem (restored n).ext".
[[nodiscard]] QByteArray restoredName(const QByteArray &name, int n);

// How many names the loops above try before giving up.
inline constexpr int kMaxNameTries = 10000;

} // namespace clarivex::cleaning
