#pragma once

// A folder as people paste it: from a terminal with its line end, quoted by
// a shell, as a file manager's "file://" address, or starting with "~". The
// text becomes the plain absolute path a clean can use; a text that is none
// of these comes back as it was (a relative path stays relative, to be
// refused where it is used).

#include <QString>

namespace clarivex::platform {

// `finished`: the user is done with the field, so spaces at its end go too,
// and a lone "~" is the home folder; while typing they are kept.
[[nodiscard]] QString pastedFolderPath(const QString &text, bool finished);

} // namespace clarivex::platform
