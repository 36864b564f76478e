#pragma once

// Where the files a program only reads (the HTML help) lie, seen from the
// folder of the running program. A build keeps them beside the programs
// (build/bin/help); an installed program finds them under the data folder
// of its prefix, reached from its own folder (bin/../share/clarivex/help),
// so that a relocated prefix or a DESTDIR staging tree works the same.

#include <QString>

namespace clarivex::platform {

// The program's read-only data folder of an installed layout:
// PROGRAMDIR/../share/clarivex (as configured), cleaned of "..".
[[nodiscard]] QString installedDataFolder(const QString &programDir);

// The help's start page: PROGRAMDIR/help/index.html when it exists, else the
// installed one. When neither exists the installed path is returned, so that
// a message can name where the help was looked for.
[[nodiscard]] QString helpIndexPath(const QString &programDir);

// The same, for the running program.
[[nodiscard]] QString helpIndexPath();

} // namespace clarivex::platform
