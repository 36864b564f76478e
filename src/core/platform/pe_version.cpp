#include "core/platform/pe_version.h"

#include <QList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace clarivex::platform {

namespace {

constexpr quint16 kResourceTypeVersion = 16;
constexpr quint32 kMaxSections = 96;
constexpr quint32 kMaxDirectoryEntries = 4096;
constexpr quint32 kMaxVersionBlock = 65536;

quint16 le16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}
quint32 le32(const uchar *p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}

// Reads from an open file only inside its size; every read is checked.
class BoundedFile
{
public:
    explicit BoundedFile(const QByteArray &path, int dirFd)
    {
        m_fd = ::openat(dirFd, path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        struct stat info
        {
        };
        if (m_fd >= 0 && ::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode))
            m_size = quint64(info.st_size);
    }
    ~BoundedFile()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    BoundedFile(const BoundedFile &) = delete;
    BoundedFile &operator=(const BoundedFile &) = delete;

    quint64 size() const { return m_size; }

    bool read(quint64 offset, quint64 length, QByteArray &out) const
    {
        if (m_size == 0 || offset > m_size || length > m_size - offset || length > (1u << 20))
            return false;
        out.resize(qsizetype(length));
        quint64 done = 0;
        while (done < length) {
            const ssize_t got =
                ::pread(m_fd, out.data() + done, length - done, off_t(offset + done));
            if (got <= 0) return false;
            done += quint64(got);
        }
        return true;
    }
    std::optional<quint32> u32(quint64 offset) const
    {
        QByteArray bytes;
        if (!read(offset, 4, bytes)) return std::nullopt;
        return le32(reinterpret_cast<const uchar *>(bytes.constData()));
    }

private:
    int m_fd = -1;
    quint64 m_size = 0;
};

struct Section
{
    quint32 virtualAddress = 0;
    quint32 rawSize = 0;
    quint32 rawOffset = 0;
};

struct PeImage
{
    quint32 resourceRva = 0;
    QList<Section> sections;

    // The file offset of `length` bytes at the relative address, inside one section.
    std::optional<quint64> offsetOf(quint32 rva, quint64 length) const
    {
        for (const Section &s : sections) {
            if (rva < s.virtualAddress) continue;
            const quint64 delta = quint64(rva) - s.virtualAddress;
            if (delta < s.rawSize && length <= s.rawSize - delta)
                return quint64(s.rawOffset) + delta;
        }
        return std::nullopt;
    }
};

std::optional<PeImage> readHeaders(const BoundedFile &file)
{
    QByteArray dos;
    if (!file.read(0, 64, dos) || !dos.startsWith("MZ")) return std::nullopt;
    const quint64 nt = le32(reinterpret_cast<const uchar *>(dos.constData()) + 0x3C);
    QByteArray head;
    if (!file.read(nt, 24 + 2, head) || !head.startsWith(QByteArray("PE\0\0", 4)))
        return std::nullopt;
    const auto *h = reinterpret_cast<const uchar *>(head.constData());
    const quint32 sectionCount = le16(h + 6);
    const quint32 optionalSize = le16(h + 20);
    const quint16 magic = le16(h + 24);
    quint32 countField = 0, directories = 0;
    if (magic == 0x10b) {
        countField = 92;
        directories = 96;
    } else if (magic == 0x20b) {
        countField = 108;
        directories = 112;
    } else {
        return std::nullopt;
    }
    const quint32 resourceEntry = directories + 2 * 8;
    QByteArray optional;
    if (sectionCount == 0 || sectionCount > kMaxSections || optionalSize < resourceEntry + 8 ||
        !file.read(nt + 24, optionalSize, optional))
        return std::nullopt;
    const auto *o = reinterpret_cast<const uchar *>(optional.constData());
    if (le32(o + countField) < 3) return std::nullopt;
    PeImage image;
    image.resourceRva = le32(o + resourceEntry);
    if (image.resourceRva == 0) return std::nullopt;
    QByteArray table;
    if (!file.read(nt + 24 + optionalSize, quint64(sectionCount) * 40, table)) return std::nullopt;
    for (quint32 i = 0; i < sectionCount; ++i) {
        const auto *s = reinterpret_cast<const uchar *>(table.constData()) + i * 40;
        image.sections.append({le32(s + 12), le32(s + 16), le32(s + 20)});
    }
    return image;
}

// One step down the resource tree: the entry with the wanted id, or the first
// entry when no id is wanted. Returns the entry's offset field.
std::optional<quint32> findEntry(const BoundedFile &file, quint64 base, quint64 directory,
                                 std::optional<quint16> id)
{
    QByteArray header;
    if (!file.read(base + directory, 16, header)) return std::nullopt;
    const auto *d = reinterpret_cast<const uchar *>(header.constData());
    const quint32 named = le16(d + 12);
    const quint32 count = named + le16(d + 14);
    if (count == 0 || count > kMaxDirectoryEntries) return std::nullopt;
    QByteArray entries;
    if (!file.read(base + directory + 16, quint64(count) * 8, entries)) return std::nullopt;
    const auto *e = reinterpret_cast<const uchar *>(entries.constData());
    for (quint32 i = 0; i < count; ++i, e += 8) {
        const quint32 name = le32(e);
        if (!id || (!(name & 0x80000000u) && name == *id)) return le32(e + 4);
    }
    return std::nullopt;
}

struct Node
{
    qsizetype start = 0;
    qsizetype end = 0;
    QString key;
    qsizetype valueStart = 0;
    qsizetype valueBytes = 0;
    qsizetype childrenStart = 0;
};

qsizetype align4(qsizetype value)
{
    return (value + 3) & ~qsizetype(3);
}

std::optional<Node> readNode(const QByteArray &block, qsizetype start, qsizetype limit)
{
    const auto *b = reinterpret_cast<const uchar *>(block.constData());
    if (start < 0 || start + 6 > limit) return std::nullopt;
    Node node;
    node.start = start;
    const qsizetype length = le16(b + start);
    if (length < 6) return std::nullopt;
    node.end = qMin(limit, start + length);
    const quint16 valueLength = le16(b + start + 2);
    const quint16 type = le16(b + start + 4);
    qsizetype p = start + 6;
    while (p + 2 <= node.end && le16(b + p) != 0) {
        node.key.append(QChar(le16(b + p)));
        p += 2;
    }
    p += 2; // the key's terminating zero
    node.valueStart = qMin(align4(p), node.end);
    node.valueBytes = qMin<qsizetype>(type == 1 ? 2 * qsizetype(valueLength) : valueLength,
                                      node.end - node.valueStart);
    node.childrenStart = align4(node.valueStart + node.valueBytes);
    return node;
}

QList<Node> children(const QByteArray &block, const Node &parent)
{
    QList<Node> list;
    qsizetype p = parent.childrenStart;
    while (p < parent.end && list.size() < 4096) {
        const auto child = readNode(block, p, parent.end);
        if (!child) break;
        list.append(*child);
        p = align4(child->end);
        if (child->end <= child->start) break;
    }
    return list;
}

std::optional<Node> child(const QByteArray &block, const Node &parent, const QString &key)
{
    for (const Node &node : children(block, parent)) {
        if (node.key.compare(key, Qt::CaseInsensitive) == 0) return node;
    }
    return std::nullopt;
}

QString textValue(const QByteArray &block, const Node &node)
{
    const auto *b = reinterpret_cast<const uchar *>(block.constData());
    QString text;
    for (qsizetype p = node.valueStart; p + 2 <= node.valueStart + node.valueBytes; p += 2) {
        const quint16 c = le16(b + p);
        if (c == 0) break;
        text.append(QChar(c));
    }
    return text;
}

} // namespace

bool hasPeExtension(const QByteArray &fileName)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    if (dot < 0) return false;
    const QByteArray ext = fileName.mid(dot + 1).toLower();
    return ext == "exe" || ext == "dll" || ext == "sys" || ext == "ocx" || ext == "drv" ||
           ext == "cpl" || ext == "scr";
}

QByteArray readPeVersionBlock(const QByteArray &path, int dirFd)
{
    const BoundedFile file(path, dirFd);
    const auto image = readHeaders(file);
    if (!image) return {};
    const auto base = image->offsetOf(image->resourceRva, 16);
    if (!base) return {};
    // Type -> name -> language; offsets with the high bit set lead to a directory.
    quint32 offset = 0;
    for (int level = 0; level < 3; ++level) {
        const auto entry =
            findEntry(file, *base, offset & 0x7FFFFFFFu,
                      level == 0 ? std::optional<quint16>(kResourceTypeVersion) : std::nullopt);
        if (!entry || ((*entry & 0x80000000u) != 0) != (level < 2)) return {};
        offset = *entry;
    }
    QByteArray data;
    if (!file.read(*base + offset, 16, data)) return {};
    const auto *d = reinterpret_cast<const uchar *>(data.constData());
    const quint32 size = qMin(le32(d + 4), kMaxVersionBlock);
    const auto where = image->offsetOf(le32(d), size);
    QByteArray block;
    if (size < 6 || !where || !file.read(*where, size, block)) return {};
    return block;
}

PeVersionStrings parseVersionBlock(const QByteArray &block)
{
    PeVersionStrings result;
    const auto root = readNode(block, 0, block.size());
    if (!root || root->key != QLatin1String("VS_VERSION_INFO")) return result;
    const auto varInfo = child(block, *root, QStringLiteral("VarFileInfo"));
    const auto translation =
        varInfo ? child(block, *varInfo, QStringLiteral("Translation")) : std::nullopt;
    if (!translation || translation->valueBytes < 4) return result;
    const auto *t = reinterpret_cast<const uchar *>(block.constData()) + translation->valueStart;
    const QString tableName = QString::asprintf("%.4x%.4x", le16(t), le16(t + 2));
    const auto stringInfo = child(block, *root, QStringLiteral("StringFileInfo"));
    const auto table = stringInfo ? child(block, *stringInfo, tableName) : std::nullopt;
    if (!table) return result;
    if (const auto node = child(block, *table, QStringLiteral("FileVersion")))
        result.fileVersion = textValue(block, *node);
    if (const auto node = child(block, *table, QStringLiteral("ProductVersion")))
        result.productVersion = textValue(block, *node);
    return result;
}

PeVersionResource parseVersionResource(const QByteArray &block)
{
    PeVersionResource resource;
    const auto root = readNode(block, 0, block.size());
    if (!root || root->key != QLatin1String("VS_VERSION_INFO")) return resource;
    resource.valid = true;
    // VS_FIXEDFILEINFO: its signature first, the flags at byte 28.
    constexpr qsizetype kFixedSize = 52;
    const auto *b = reinterpret_cast<const uchar *>(block.constData());
    if (root->valueBytes >= kFixedSize && le32(b + root->valueStart) == 0xFEEF04BDu)
        resource.fileFlags = le32(b + root->valueStart + 28);
    if (const auto varInfo = child(block, *root, QStringLiteral("VarFileInfo"))) {
        if (const auto list = child(block, *varInfo, QStringLiteral("Translation")))
            resource.translation = block.mid(list->valueStart, list->valueBytes);
    }
    if (const auto stringInfo = child(block, *root, QStringLiteral("StringFileInfo"))) {
        for (const Node &table : children(block, *stringInfo)) {
            PeVersionResource::Table entry{table.key, {}};
            for (const Node &field : children(block, table))
                entry.strings.append({field.key, textValue(block, field)});
            resource.tables.append(entry);
        }
    }
    return resource;
}

PeVersionStrings readPeVersionStrings(const QByteArray &path, int dirFd)
{
    const QByteArray block = readPeVersionBlock(path, dirFd);
    return block.isEmpty() ? PeVersionStrings{} : parseVersionBlock(block);
}

} // namespace clarivex::platform
