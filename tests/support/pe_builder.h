#pragma once

// Builds small Windows program files (PE32) in memory for tests: a version
// resource with the given strings, or none, laid out as a linker would.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

namespace clarivex::test {

struct VersionNode
{
    QString key;
    QByteArray value;
    quint16 valueLength = 0; // in characters for text nodes, bytes otherwise
    quint16 type = 1;        // 1 text, 0 binary
    QList<VersionNode> children;
};

inline void putLe16(QByteArray &b, qsizetype at, quint16 v)
{
    qToLittleEndian(v, b.data() + at);
}
inline void putLe32(QByteArray &b, qsizetype at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}
inline void pad4(QByteArray &b)
{
    while (b.size() % 4)
        b.append('\0');
}

inline QByteArray utf16z(const QString &text)
{
    QByteArray out;
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    out.append(2, '\0');
    return out;
}

inline QByteArray encodeNode(const VersionNode &node)
{
    QByteArray out(6, '\0');
    out += utf16z(node.key);
    pad4(out);
    out += node.value;
    for (const VersionNode &child : node.children) {
        pad4(out);
        out += encodeNode(child);
    }
    putLe16(out, 0, quint16(out.size()));
    putLe16(out, 2, node.valueLength);
    putLe16(out, 4, node.type);
    return out;
}

inline VersionNode textNode(const QString &key, const QString &value)
{
    return {key, utf16z(value), quint16(value.size() + 1), 1, {}};
}

// VS_VERSION_INFO with one string table and the translation that names it.
inline QByteArray versionBlock(const QString &fileVersion, const QString &productVersion,
                               const QString &tableName = QStringLiteral("040904b0"),
                               quint16 language = 0x0409, quint16 codePage = 0x04b0)
{
    QByteArray fixed(52, '\0');
    putLe32(fixed, 0, 0xFEEF04BD);
    QByteArray translation(4, '\0');
    putLe16(translation, 0, language);
    putLe16(translation, 2, codePage);
    VersionNode table{tableName, {}, 0, 1, {}};
    table.children.append(textNode(QStringLiteral("CompanyName"), QStringLiteral("Test Co")));
    if (!fileVersion.isNull())
        table.children.append(textNode(QStringLiteral("FileVersion"), fileVersion));
    if (!productVersion.isNull())
        table.children.append(textNode(QStringLiteral("ProductVersion"), productVersion));
    VersionNode strings{QStringLiteral("StringFileInfo"), {}, 0, 1, {table}};
    VersionNode var{QStringLiteral("Translation"), translation, 4, 0, {}};
    VersionNode vars{QStringLiteral("VarFileInfo"), {}, 0, 1, {var}};
    VersionNode root{QStringLiteral("VS_VERSION_INFO"), fixed, 52, 0, {strings, vars}};
    return encodeNode(root);
}

// A PE32 file with one ".rsrc" section. An empty block gives a resource
// section without a version resource (an icon entry instead).
inline QByteArray peFile(const QByteArray &block)
{
    constexpr quint32 peOffset = 0x40, optionalSize = 224, rawOffset = 0x200, rva = 0x1000;
    QByteArray file(rawOffset, '\0');
    file[0] = 'M';
    file[1] = 'Z';
    putLe32(file, 0x3C, peOffset);
    file.replace(peOffset, 4, QByteArray("PE\0\0", 4));
    putLe16(file, peOffset + 4, 0x14c);
    putLe16(file, peOffset + 6, 1);
    putLe16(file, peOffset + 20, optionalSize);
    putLe16(file, peOffset + 22, 0x0102);
    const quint32 optional = peOffset + 24;
    putLe16(file, optional, 0x10b);
    putLe32(file, optional + 92, 16);

    QByteArray rsrc(0x58, '\0');
    putLe16(rsrc, 14, 1); // root: one id entry
    putLe32(rsrc, 16, block.isEmpty() ? 3 : 16);
    putLe32(rsrc, 20, 0x80000000u | 0x18);
    putLe16(rsrc, 0x18 + 14, 1); // names
    putLe32(rsrc, 0x18 + 16, 1);
    putLe32(rsrc, 0x18 + 20, 0x80000000u | 0x30);
    putLe16(rsrc, 0x30 + 14, 1); // languages
    putLe32(rsrc, 0x30 + 16, 0x409);
    putLe32(rsrc, 0x30 + 20, 0x48);
    const QByteArray payload = block.isEmpty() ? QByteArray(40, '\x7f') : block;
    putLe32(rsrc, 0x48, rva + 0x58); // data entry
    putLe32(rsrc, 0x48 + 4, quint32(payload.size()));
    rsrc += payload;
    pad4(rsrc);

    putLe32(file, optional + 96 + 16, rva);
    putLe32(file, optional + 96 + 20, quint32(rsrc.size()));
    const quint32 section = optional + optionalSize;
    file.replace(section, 5, ".rsrc");
    putLe32(file, section + 8, quint32(rsrc.size()));
    putLe32(file, section + 12, rva);
    putLe32(file, section + 16, quint32(rsrc.size()));
    putLe32(file, section + 20, rawOffset);
    return file + rsrc;
}

// Offsets of fields a test may corrupt.
inline constexpr qsizetype kPeNtOffsetField = 0x3C;
inline constexpr qsizetype kPeSectionCount = 0x40 + 6;
inline constexpr qsizetype kPeSectionRawOffset = 0x40 + 24 + 224 + 20;
inline constexpr qsizetype kPeDataEntrySize = 0x200 + 0x48 + 4;
inline constexpr qsizetype kPeVersionBlock = 0x200 + 0x58;

} // namespace clarivex::test
