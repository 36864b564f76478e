#pragma once

// What the properties window of a found file shows: read once, on demand,
// from the file itself (the link itself for a symbolic link).

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace clarivex::cleaning {

struct FileProperties
{
    QString name;
    QString folder;
    qint64 size = 0;
    QString mimeType;        // "text/plain"
    QString mimeDescription; // "plain text document"
    QString owner;           // user name, or the number when it has none
    QString group;
    quint32 mode = 0;   // permission bits (07777)
    QString modeText;   // "-rw-r--r-- (0644)"
    QDateTime modified; // local times; invalid when the file system keeps none
    QDateTime accessed;
    QDateTime created; // birth time where kept, else the status change
    bool createdIsChange = false;
    QString fileVersion; // of a Windows program file, when it has them
    QString productVersion;
};

// Nothing when the file is gone or cannot be examined.
[[nodiscard]] std::optional<FileProperties> readFileProperties(const QByteArray &path);

// "1,234 bytes (1.21 KiB)": the exact size and the readable one.
[[nodiscard]] QString sizeText(qint64 size);
// "-rw-r--r-- (0644)" for a file type letter and permission bits.
[[nodiscard]] QString modeText(char type, quint32 mode);

} // namespace clarivex::cleaning
