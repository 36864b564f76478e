#pragma once

// The text of the version label: one field of a program's version
// information, with or without the field's name before it.

#include "core/utilities/version_query.h"

#include <QString>

namespace clarivex {

enum TVersionResource {
    vrCompanyName,
    vrFileDescription,
    vrFileVersion,
    vrInternalName,
    vrLegalCopyright,
    vrOriginalFilename,
    vrProductName,
    vrProductVersion,
    vrComments,
    vrFlags,
};

// The string table key of a field ("FileVersion") and the prefix shown
// before its value ("File Version:").
[[nodiscard]] QString versionResourceKey(TVersionResource resource);
[[nodiscard]] QString versionResourcePrefix(TVersionResource resource);

// The set bits of a fixed part's flags by name, "Debug Build, Private Build";
// empty when none of the named bits is set.
[[nodiscard]] QString versionFlagsText(quint32 flags);

// The value shown for one field, or the text that says why there is none.
// A `langCharset` of "-1" is replaced by the first entry of the translation
// list ("040904E4"), which the caller keeps for the next time.
[[nodiscard]] QString versionValueText(const VersionQuery &query, TVersionResource resource,
                                       const QString &key, QString &langCharset);

// The label's text: the prefix, a blank and the value, or the value alone.
[[nodiscard]] QString versionLabelText(const QString &value, const QString &prefix,
                                       bool showPrefix);

inline constexpr char kFirstTranslation[] = "-1";

} // namespace clarivex
