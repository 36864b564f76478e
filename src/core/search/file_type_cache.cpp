#include "core/search/file_type_cache.h"

#include <QFile>
#include <QGuiApplication>
#include <QMimeDatabase>

namespace clarivex {

namespace {

constexpr qsizetype kMaxTypeName = 80;

std::function<QIcon(FileTypeCache::StandardIcon)> &fallbackIcons()
{
    static std::function<QIcon(FileTypeCache::StandardIcon)> provider;
    return provider;
}

QIcon themeIcon(std::initializer_list<const char *> names, FileTypeCache::StandardIcon fallback)
{
    for (const char *name : names) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (!icon.isNull()) return icon;
    }
    return fallbackIcons() ? fallbackIcons()(fallback) : QIcon();
}

} // namespace

void FileTypeCache::setFallbackIcons(std::function<QIcon(StandardIcon)> provider)
{
    fallbackIcons() = std::move(provider);
}

FileTypeCache &FileTypeCache::shared()
{
    static FileTypeCache cache;
    return cache;
}

quint32 FileTypeCache::indexOf(QByteArrayView fileName)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    const std::string extension =
        dot < 0 ? std::string() : std::string(fileName.data() + dot, size_t(fileName.size() - dot));
    const auto found = m_index.find(extension);
    if (found != m_index.end()) return found->second;
    const auto index = quint32(m_entries.size());
    m_entries.push_back(Entry{extension, {}, {}, false, false});
    m_index.emplace(extension, index);
    return index;
}

bool FileTypeCache::needsContent(quint32 index)
{
    if (index >= m_entries.size()) return false;
    Entry &entry = m_entries[index];
    if (!entry.typeKnown) describe(entry);
    return entry.byContent;
}

quint32 FileTypeCache::indexOfContent(const QByteArray &path, quint32 index)
{
    static const QMimeDatabase database;
    ++m_contentReads;
    const QMimeType type =
        database.mimeTypeForFile(QFile::decodeName(path), QMimeDatabase::MatchContent);
    if (!type.isValid()) return index;
    // Unreadable or unknown content gives the default type: an entry all the
    // same, so that the file is not read again at every paint.
    const std::string name = type.name().toStdString();
    const auto found = m_mimeIndex.find(name);
    if (found != m_mimeIndex.end()) return found->second;
    const auto created = quint32(m_entries.size());
    Entry entry;
    entry.extension = name;
    entry.isMimeType = true;
    m_entries.push_back(std::move(entry));
    m_mimeIndex.emplace(name, created);
    return created;
}

void FileTypeCache::describe(Entry &entry)
{
    static const QMimeDatabase database;
    QMimeType type;
    if (entry.isMimeType) {
        type = database.mimeTypeForName(QString::fromStdString(entry.extension));
    } else {
        const QString probe = QStringLiteral("x") + QString::fromUtf8(entry.extension);
        entry.byContent = database.mimeTypesForFileName(probe).isEmpty();
        type = database.mimeTypeForFile(probe, QMimeDatabase::MatchExtension);
    }
    entry.typeName = type.comment().trimmed().left(kMaxTypeName);
    entry.typeKnown = true;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return; // no icons without a display connection
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull()) icon = themeIcon({"text-x-generic", "unknown"}, StandardIcon::File);
    entry.icon = icon;
    entry.iconKnown = true;
}

QString FileTypeCache::typeName(quint32 index)
{
    if (index >= m_entries.size()) return {};
    Entry &entry = m_entries[index];
    if (!entry.typeKnown) describe(entry);
    return entry.typeName;
}

QIcon FileTypeCache::icon(quint32 index)
{
    if (index >= m_entries.size()) return {};
    Entry &entry = m_entries[index];
    if (!entry.iconKnown) describe(entry);
    return entry.icon;
}

QIcon FileTypeCache::folderIcon(bool open)
{
    static const QIcon closedIcon = themeIcon({"folder"}, StandardIcon::Folder);
    static const QIcon openIcon = themeIcon({"folder-open", "folder"}, StandardIcon::Folder);
    return open ? openIcon : closedIcon;
}

QIcon FileTypeCache::driveIcon(bool removable, bool remote, bool optical)
{
    if (remote) return themeIcon({"folder-remote", "network-server"}, StandardIcon::Network);
    if (optical) return themeIcon({"media-optical", "drive-optical"}, StandardIcon::Drive);
    if (removable)
        return themeIcon({"drive-removable-media", "drive-harddisk"}, StandardIcon::Drive);
    return themeIcon({"drive-harddisk"}, StandardIcon::Drive);
}

} // namespace clarivex
