#pragma once

// The version information of the programs, compiled in: the fixed part
// (file and product version as four numbers, flags) and the string table of
// language 0409, code page 04E4. The version label of the about box and the
// splash window show fields of it.

#include <QList>
#include <QPair>
#include <QString>

#include <array>
#include <optional>

namespace clarivex {

struct VersionInfo
{
    std::array<quint16, 4> fileVersion{};
    std::array<quint16, 4> productVersion{};
    quint32 fileFlags =
        0; // bit 0 debug, 1 pre-release, 2 patched, 3 private, 4 inferred, 5 special
    quint16 language = 0x0409;
    quint16 codePage = 0x04E4;
    QList<QPair<QString, QString>> strings; // key, value, in table order

    // "040904E4": the language and code page of the string table.
    [[nodiscard]] QString langCharset() const;
    // A value of the string table; nothing when the table has no such key.
    [[nodiscard]] std::optional<QString> value(const QString &key) const;
};

// The main program, clarivex.
[[nodiscard]] const VersionInfo &programVersionInfo();
// The background Scheduler, clarivex-scheduler.
[[nodiscard]] const VersionInfo &schedulerVersionInfo();

// The main program's "FileVersion" text, "3.5.0.10".
[[nodiscard]] QString programFileVersion();

} // namespace clarivex
