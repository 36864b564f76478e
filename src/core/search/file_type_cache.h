#pragma once

// Type names and icons of files, kept per extension and per MIME type, so that
// drawing a million rows asks the MIME database and the icon theme once per
// extension. Names are looked up without touching the disk; only a file whose
// extension names no type is read, once, when its row is first drawn.

#include <QByteArrayView>
#include <QIcon>
#include <QString>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace clarivex {

class FileTypeCache
{
public:
    // What an icon stands for, when the icon theme has none for it.
    enum class StandardIcon { File, Folder, Network, Drive };
    // Gives the icons the theme lacks; the windows install their style's.
    // Without one, such an icon is empty.
    static void setFallbackIcons(std::function<QIcon(StandardIcon)> provider);

    // The one cache of the user-interface thread.
    [[nodiscard]] static FileTypeCache &shared();

    // The entry of the file name's extension (the text from its last "."; a
    // name without one shares one entry with all such names).
    [[nodiscard]] quint32 indexOf(QByteArrayView fileName);
    // Whether the entry is an extension that names no type (".tmp", ".chk",
    // none at all): a file of it is described by its content instead.
    [[nodiscard]] bool needsContent(quint32 index);
    // The entry of the type the file's content shows (one entry per MIME type).
    // Reads the start of the file; an unreadable one gets the default type's.
    [[nodiscard]] quint32 indexOfContent(const QByteArray &path, quint32 index);
    [[nodiscard]] QString typeName(quint32 index);
    [[nodiscard]] QIcon icon(quint32 index);
    [[nodiscard]] qsizetype size() const { return qsizetype(m_entries.size()); }
    // How many files indexOfContent has read so far.
    [[nodiscard]] quint64 contentReads() const { return m_contentReads; }

    [[nodiscard]] static QIcon folderIcon(bool open);
    [[nodiscard]] static QIcon driveIcon(bool removable, bool remote, bool optical);

private:
    struct Entry
    {
        std::string extension; // or the MIME type's name, for an entry by content
        QString typeName;
        QIcon icon;
        bool typeKnown = false;
        bool iconKnown = false;
        bool byContent = false; // an extension that names no type
        bool isMimeType = false;
    };
    void describe(Entry &entry);

    std::unordered_map<std::string, quint32> m_index;
    std::unordered_map<std::string, quint32> m_mimeIndex;
    std::vector<Entry> m_entries;
    quint64 m_contentReads = 0;
};

} // namespace clarivex
