#include "core/scanners/shell_link.h"

#include <QStringDecoder>

#include <cstring>

namespace clarivex {

namespace {

// LinkFlags of the header.
enum : quint32 {
    HasLinkTargetIDList = 0x01,
    HasLinkInfo = 0x02,
    HasName = 0x04,
    HasRelativePath = 0x08,
    HasWorkingDir = 0x10,
    HasArguments = 0x20,
    HasIconLocation = 0x40,
    IsUnicode = 0x80,
    ForceNoLinkInfo = 0x100,
};
// LinkInfoFlags.
enum : quint32 { VolumeIDAndLocalBasePath = 0x1, CommonNetworkRelativeLinkAndPathSuffix = 0x2 };

constexpr qsizetype kHeaderSize = 0x4C;
// {00021401-0000-0000-C000-000000000046} as stored.
constexpr unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// A bounds-checked little-endian view of the file's bytes.
class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : m_bytes(bytes) {}

    [[nodiscard]] bool has(qsizetype at, qsizetype count) const
    {
        return at >= 0 && count >= 0 && at <= m_bytes.size() && count <= m_bytes.size() - at;
    }
    [[nodiscard]] bool u16(qsizetype at, quint16 &value) const
    {
        if (!has(at, 2)) return false;
        const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData() + at);
        value = quint16(p[0] | (p[1] << 8));
        return true;
    }
    [[nodiscard]] bool u32(qsizetype at, quint32 &value) const
    {
        if (!has(at, 4)) return false;
        const auto *p = reinterpret_cast<const uchar *>(m_bytes.constData() + at);
        value = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
        return true;
    }
    // A NUL-terminated 8-bit string at `at`, inside [at, end).
    [[nodiscard]] bool ansiz(qsizetype at, qsizetype end, QString &text) const
    {
        if (!has(at, 0) || end > m_bytes.size() || at >= end) return false;
        const char *start = m_bytes.constData() + at;
        const void *nul = std::memchr(start, 0, size_t(end - at));
        if (!nul) return false;
        text = decodeAnsi(QByteArray(start, static_cast<const char *>(nul) - start));
        return true;
    }
    // A NUL-terminated UTF-16LE string at `at`, inside [at, end).
    [[nodiscard]] bool unicodez(qsizetype at, qsizetype end, QString &text) const
    {
        if (!has(at, 0) || end > m_bytes.size()) return false;
        QString out;
        for (qsizetype i = at; i + 1 < end; i += 2) {
            quint16 unit = 0;
            if (!u16(i, unit)) return false;
            if (unit == 0) {
                text = out;
                return true;
            }
            out.append(QChar(unit));
        }
        return false;
    }
    [[nodiscard]] QByteArray bytes(qsizetype at, qsizetype count) const
    {
        return m_bytes.mid(at, count);
    }

    // The system code page of the writer is unknown: UTF-8 when the bytes
    // are valid UTF-8 (links made on Linux), else Windows-1252.
    static QString decodeAnsi(const QByteArray &raw)
    {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8(raw);
        if (!utf8.hasError()) return text;
        QStringDecoder cp1252("windows-1252");
        if (cp1252.isValid()) return cp1252(raw);
        return QString::fromLatin1(raw);
    }

private:
    const QByteArray &m_bytes;
};

bool fail(QString &error, const char *what)
{
    error = QString::fromLatin1(what);
    return false;
}

// CommonNetworkRelativeLink at `at` (inside a LinkInfo ending at `end`): the share name.
bool readNetName(const Reader &in, qsizetype at, qsizetype end, QString &netName)
{
    quint32 size = 0, netNameOffset = 0;
    if (!in.u32(at, size) || size < 0x14 || qsizetype(size) > end - at) return false;
    const qsizetype linkEnd = at + qsizetype(size);
    if (!in.u32(at + 8, netNameOffset)) return false;
    if (netNameOffset > 0x14) {
        quint32 unicodeOffset = 0;
        if (in.u32(at + 0x14, unicodeOffset) && unicodeOffset > 0 && unicodeOffset < size &&
            in.unicodez(at + unicodeOffset, linkEnd, netName))
            return true;
    }
    return netNameOffset < size && in.ansiz(at + netNameOffset, linkEnd, netName);
}

// LinkInfo at `at`; sets `next` to the byte after it and fills the target.
bool readLinkInfo(const Reader &in, qsizetype at, qsizetype &next, QString &target, QString &error)
{
    quint32 size = 0, headerSize = 0, flags = 0, localOffset = 0, netOffset = 0, suffixOffset = 0;
    if (!in.u32(at, size) || !in.u32(at + 4, headerSize) || !in.u32(at + 8, flags) ||
        !in.u32(at + 16, localOffset) || !in.u32(at + 20, netOffset) ||
        !in.u32(at + 24, suffixOffset))
        return fail(error, "link information cut short");
    if (size < 0x1C || !in.has(at, size) || headerSize < 0x1C || headerSize > size)
        return fail(error, "link information of a wrong size");
    const qsizetype end = at + qsizetype(size);
    next = end;
    quint32 localUnicode = 0, suffixUnicode = 0;
    if (headerSize >= 0x24) {
        (void)in.u32(at + 28, localUnicode);
        (void)in.u32(at + 32, suffixUnicode);
    }
    const auto string = [&](quint32 unicodeOffset, quint32 ansiOffset, QString &text) {
        if (unicodeOffset > 0 && unicodeOffset < size && in.unicodez(at + unicodeOffset, end, text))
            return true;
        return ansiOffset > 0 && ansiOffset < size && in.ansiz(at + ansiOffset, end, text);
    };
    QString suffix;
    if (suffixOffset != 0 || suffixUnicode != 0) (void)string(suffixUnicode, suffixOffset, suffix);
    if (flags & VolumeIDAndLocalBasePath) {
        QString base;
        if (!string(localUnicode, localOffset, base))
            return fail(error, "link information without its local path");
        target = base + suffix;
        return true;
    }
    if (flags & CommonNetworkRelativeLinkAndPathSuffix) {
        QString share;
        if (netOffset == 0 || netOffset >= size || !readNetName(in, at + netOffset, end, share))
            return fail(error, "link information without its network share");
        target = suffix.isEmpty() ? share : share + QLatin1Char('\\') + suffix;
    }
    return true;
}

// One counted string of the string data; moves `at` past it.
bool readCountedString(const Reader &in, qsizetype &at, bool unicode, QString &text)
{
    quint16 count = 0;
    if (!in.u16(at, count)) return false;
    at += 2;
    const qsizetype bytes = unicode ? qsizetype(count) * 2 : qsizetype(count);
    if (!in.has(at, bytes)) return false;
    const QByteArray raw = in.bytes(at, bytes);
    text = unicode ? QString::fromUtf16(reinterpret_cast<const char16_t *>(raw.constData()), count)
                   : Reader::decodeAnsi(raw);
    at += bytes;
    return true;
}

} // namespace

bool parseShellLink(const QByteArray &bytes, ShellLinkData &link, QString &error)
{
    link = ShellLinkData{};
    const Reader in(bytes);
    quint32 headerSize = 0, flags = 0, showCommand = 0, iconIndex = 0;
    if (!in.u32(0, headerSize) || headerSize != kHeaderSize || !in.has(0, kHeaderSize))
        return fail(error, "not a shell link");
    if (std::memcmp(bytes.constData() + 4, kLinkClsid, sizeof kLinkClsid) != 0)
        return fail(error, "not a shell link");
    (void)in.u32(20, flags);
    (void)in.u32(56, iconIndex);
    (void)in.u32(60, showCommand);
    link.iconIndex = qint32(iconIndex);
    link.showCommand = showCommand;

    qsizetype at = kHeaderSize;
    if (flags & HasLinkTargetIDList) { // the shell's item IDs: skipped
        quint16 idListSize = 0;
        if (!in.u16(at, idListSize) || !in.has(at + 2, idListSize))
            return fail(error, "item-ID list cut short");
        at += 2 + idListSize;
    }
    if ((flags & HasLinkInfo) && !(flags & ForceNoLinkInfo)) {
        qsizetype next = at;
        if (!readLinkInfo(in, at, next, link.target, error)) return false;
        at = next;
    } else if (flags & HasLinkInfo) { // present but to be ignored: still skipped
        quint32 size = 0;
        if (!in.u32(at, size) || !in.has(at, size))
            return fail(error, "link information cut short");
        at += size;
    }
    const bool unicode = flags & IsUnicode;
    const std::pair<quint32, QString *> strings[] = {
        {HasName, &link.description},
        {HasRelativePath, &link.relativePath},
        {HasWorkingDir, &link.workingDirectory},
        {HasArguments, &link.arguments},
        {HasIconLocation, &link.iconLocation},
    };
    for (const auto &[flag, text] : strings) {
        if ((flags & flag) && !readCountedString(in, at, unicode, *text))
            return fail(error, "string data cut short");
    }
    return true; // extra data blocks are not needed
}

} // namespace clarivex
