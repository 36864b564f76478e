#pragma once

// The version information of one program, asked field by field as the
// system's version query asks it: the fixed part, the translation list and
// "\StringFileInfo\<language and code page>\<key>". The information comes
// from the compiled-in table of our own programs or from the version
// resource of a Windows program file found on disk.

#include "core/platform/pe_version.h"
#include "core/utilities/version_info.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace clarivex {

class VersionQuery
{
public:
    enum class State {
        Present,    // there is version information
        Missing,    // the program has none
        Unreadable, // it has some, but it cannot be read
    };

    // A query that finds no version information.
    VersionQuery() = default;
    [[nodiscard]] static VersionQuery ofTable(const VersionInfo &info);
    // The main program's own table.
    [[nodiscard]] static VersionQuery ofProgram();
    // A version block as stored in a program file's resource; an empty block
    // is no version information.
    [[nodiscard]] static VersionQuery ofBlock(const QByteArray &block);
    // The version resource of a Windows program file (.exe, .dll, ...).
    [[nodiscard]] static VersionQuery ofFile(const QByteArray &path);

    [[nodiscard]] State state() const { return m_state; }
    // The flags of the fixed part; nothing when there is no readable fixed part.
    [[nodiscard]] std::optional<quint32> fileFlags() const;
    // The translation list as stored: pairs of 16-bit language and code page.
    [[nodiscard]] QByteArray translation() const;
    // The value of `key` in the string table named by `langCharset` (eight
    // hexadecimal digits, any case); nothing when there is no such table or key.
    [[nodiscard]] std::optional<QString> stringValue(const QString &langCharset,
                                                     const QString &key) const;

private:
    State m_state = State::Missing;
    platform::PeVersionResource m_resource;
};

} // namespace clarivex
