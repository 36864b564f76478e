#pragma once

// Builds .lnk files byte by byte from the published Shell Link Binary File
// Format, for the tests and the fuzz harness: a header, an opaque item-ID
// list, the link info (local path or network share, ANSI with optional
// UTF-16 copies) and the counted strings.

#include <QByteArray>
#include <QString>

#include <optional>

namespace clarivex::test {

struct ShellLinkSpec
{
    QString localBasePath;    // "C:\Apps\" (empty: none)
    QString commonPathSuffix; // "gone.exe"
    QString netName;          // "\\server\share" (used when there is no local path)
    bool unicodeLinkInfo = false;
    bool idList = true;
    bool linkInfo = true;
    bool unicodeStrings = true;
    std::optional<QString> description;
    std::optional<QString> relativePath;
    std::optional<QString> workingDirectory;
    std::optional<QString> arguments;
    std::optional<QString> iconLocation;
    quint32 showCommand = 1;
    qint32 iconIndex = 0;
};

namespace shell_link_detail {

inline void u16(QByteArray &out, quint32 value)
{
    out.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
}
inline void u32(QByteArray &out, quint32 value)
{
    u16(out, value & 0xFFFF);
    u16(out, value >> 16);
}
inline void put32(QByteArray &out, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((value >> (8 * i)) & 0xFF);
}
inline QByteArray ansiz(const QString &text)
{
    return text.toLatin1() + '\0';
}
inline QByteArray unicodez(const QString &text)
{
    QByteArray out;
    for (QChar c : text)
        u16(out, c.unicode());
    u16(out, 0);
    return out;
}

inline QByteArray linkInfo(const ShellLinkSpec &spec)
{
    const quint32 headerSize = spec.unicodeLinkInfo ? 0x24 : 0x1C;
    QByteArray info(qsizetype(headerSize), '\0');
    put32(info, 4, headerSize);
    const bool local = !spec.localBasePath.isEmpty();
    put32(info, 8, local ? 0x1 : 0x2);
    if (local) {
        put32(info, 12, quint32(info.size())); // VolumeID: fixed drive, empty label
        u32(info, 0x11);
        u32(info, 3);
        u32(info, 0x1234ABCD);
        u32(info, 0x10);
        info.append('\0');
        put32(info, 16, quint32(info.size()));
        info += ansiz(spec.localBasePath);
    } else {
        put32(info, 20, quint32(info.size()));
        QByteArray net;
        u32(net, 0);
        u32(net, 0);
        u32(net, 0x14);
        u32(net, 0);
        u32(net, 0x00020000);
        net += ansiz(spec.netName);
        put32(net, 0, quint32(net.size()));
        info += net;
    }
    put32(info, 24, quint32(info.size()));
    info += ansiz(spec.commonPathSuffix);
    if (spec.unicodeLinkInfo) {
        if (local) {
            put32(info, 28, quint32(info.size()));
            info += unicodez(spec.localBasePath);
        }
        put32(info, 32, quint32(info.size()));
        info += unicodez(spec.commonPathSuffix);
    }
    put32(info, 0, quint32(info.size()));
    return info;
}

inline void countedString(QByteArray &out, const QString &text, bool unicode)
{
    u16(out, quint32(text.size()));
    if (unicode) {
        for (QChar c : text)
            u16(out, c.unicode());
    } else {
        out += text.toLatin1();
    }
}

} // namespace shell_link_detail

inline QByteArray buildShellLink(const ShellLinkSpec &spec)
{
    using namespace shell_link_detail;
    quint32 flags = 0;
    if (spec.idList) flags |= 0x01;
    if (spec.linkInfo) flags |= 0x02;
    if (spec.description) flags |= 0x04;
    if (spec.relativePath) flags |= 0x08;
    if (spec.workingDirectory) flags |= 0x10;
    if (spec.arguments) flags |= 0x20;
    if (spec.iconLocation) flags |= 0x40;
    if (spec.unicodeStrings) flags |= 0x80;
    QByteArray out;
    u32(out, 0x4C);
    out += QByteArray::fromHex("0114020000000000C000000000000046");
    u32(out, flags);
    u32(out, 0x20);              // FILE_ATTRIBUTE_ARCHIVE
    out += QByteArray(24, '\0'); // creation, access, write times
    u32(out, 1234);              // target size
    u32(out, quint32(spec.iconIndex));
    u32(out, spec.showCommand);
    u16(out, 0);                 // hot key
    out += QByteArray(10, '\0'); // reserved
    if (spec.idList) {           // one opaque item and the terminating zero
        const QByteArray item = QByteArray::fromHex("14001F50E04FD020EA3A6910A2D808002B30309D");
        u16(out, quint32(item.size() + 2));
        out += item;
        u16(out, 0);
    }
    if (spec.linkInfo) out += linkInfo(spec);
    for (const std::optional<QString> *text :
         {&spec.description, &spec.relativePath, &spec.workingDirectory, &spec.arguments,
          &spec.iconLocation}) {
        if (*text) countedString(out, **text, spec.unicodeStrings);
    }
    u32(out, 0); // terminal extra-data block
    return out;
}

} // namespace clarivex::test
