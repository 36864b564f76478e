#pragma once

// The directory-entry record that the finder hands to its handlers and that a
// found-file row is made from. Names and paths are bytes: Linux file names need
// not be valid UTF-8, so they are decoded only for display.

#include <QByteArray>
#include <QDateTime>

namespace clarivex {

// File attribute bits, as the finder's `Attributes` filter and the lists use them.
// On Linux: read-only = the owner may not write; hidden = the name begins with
// "."; system = owned by another user than the one running the program;
// archive = every reported file.
enum FileAttribute : quint32 {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
};

struct TFindData
{
    quint32 attributes = 0;
    // Nanoseconds since 1970-01-01 00:00 UTC. Creation is the birth time where
    // the file system keeps one, else the change time.
    qint64 creationTime = 0;
    qint64 lastAccessTime = 0;
    qint64 lastWriteTime = 0;
    qint64 changeTime = 0;  // the inode's last change
    qint64 size = 0;        // bytes, 64-bit
    QByteArray name;        // the entry's name, raw bytes
    bool isSymlink = false; // a link that does not lead to a directory, reported as itself
    // The open folder that holds the entry while the finder reports it (-1:
    // none); names are looked up relative to it, so paths of any length work.
    int folderFd = -1;
    // The file's device and inode as the finder saw them a moment ago; 0 and
    // 0 when not known. Known, they spare a list another look at the file.
    quint64 device = 0;
    quint64 inode = 0;
};

inline QDateTime fileTimeToDateTime(qint64 nanoseconds)
{
    qint64 ms = nanoseconds / 1000000;
    if (nanoseconds % 1000000 < 0) --ms; // floor for times before 1970
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
}

inline qint64 dateTimeToFileTime(const QDateTime &dateTime)
{
    return dateTime.toMSecsSinceEpoch() * 1000000;
}

} // namespace clarivex
