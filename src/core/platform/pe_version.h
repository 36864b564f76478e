#pragma once

// The "FileVersion" and "ProductVersion" strings of a Windows program file
// (.exe, .dll, ...) found on disk. The reader trusts nothing in the file: every
// offset and size is checked against the file and against fixed limits, and
// a file that is short, lies or is not a PE file simply has no versions.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace clarivex::platform {

struct PeVersionStrings
{
    QString fileVersion;
    QString productVersion;
    bool operator==(const PeVersionStrings &) const = default;
};

// True for the extensions whose files may carry a version resource:
// .exe .dll .sys .ocx .drv .cpl .scr (any case).
[[nodiscard]] bool hasPeExtension(const QByteArray &fileName);

// The version block (VS_VERSIONINFO) of the file's first RT_VERSION resource,
// empty when there is none or the file cannot be read. A relative path is
// taken from the open folder dirFd (-100, AT_FDCWD: the current folder).
[[nodiscard]] QByteArray readPeVersionBlock(const QByteArray &path, int dirFd = -100);

// Looks the strings up as the system's own version query does: the first
// "\VarFileInfo\Translation" pair names the string table ("%04x%04x") whose
// "FileVersion" and "ProductVersion" are taken. Missing parts give empty texts.
[[nodiscard]] PeVersionStrings parseVersionBlock(const QByteArray &block);

// All of a version block, for queries of any field: the fixed part's flags,
// the translation list as stored, and every string table.
struct PeVersionResource
{
    struct Table
    {
        QString name; // "040904E4": language and code page, as hexadecimal digits
        QList<QPair<QString, QString>> strings;
    };
    bool valid = false;               // the block is a VS_VERSION_INFO
    std::optional<quint32> fileFlags; // nothing without a fixed part
    QByteArray translation;           // pairs of 16-bit language and code page
    QList<Table> tables;
};

[[nodiscard]] PeVersionResource parseVersionResource(const QByteArray &block);

[[nodiscard]] PeVersionStrings readPeVersionStrings(const QByteArray &path, int dirFd = -100);

} // namespace clarivex::platform
