#include "core/cleaning/file_properties.h"

#include "core/base/file_facts.h"
#include "core/base/formats.h"
#include "core/base/path_text.h"
#include "core/platform/pe_version.h"

#include <QLocale>
#include <QMimeDatabase>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace clarivex::cleaning {

namespace {

QString userName(uid_t uid)
{
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd *found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

QString groupName(gid_t gid)
{
    std::vector<char> buffer(16384);
    struct group entry;
    struct group *found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

QDateTime localTime(const struct statx_timestamp &t)
{
    return QDateTime::fromMSecsSinceEpoch(nanoseconds(t) / 1000000);
}

char typeLetter(mode_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFDIR:
        return 'd';
    case S_IFLNK:
        return 'l';
    case S_IFREG:
        return '-';
    default:
        return '?';
    }
}

// By name and by the first bytes, read through the path's own bytes (a name
// that is not UTF-8 would not survive a round trip through text).
QMimeType mimeOfFile(const QMimeDatabase &mimes, const QByteArray &path, const QByteArray &name)
{
    QByteArray head;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd >= 0) {
        head.resize(16 * 1024);
        const ssize_t got = ::read(fd, head.data(), size_t(head.size()));
        head.resize(got > 0 ? got : 0);
        ::close(fd);
    }
    return mimes.mimeTypeForFileNameAndData(QString::fromUtf8(name), head);
}

} // namespace

QString sizeText(qint64 size)
{
    const QLocale locale;
    const QString exact = QStringLiteral("%1 bytes").arg(formatGrouped(size));
    if (size < 1024) return exact;
    return QStringLiteral("%1 (%2)").arg(exact, locale.formattedDataSize(size));
}

QString modeText(char type, quint32 mode)
{
    QString text(10, QLatin1Char('-'));
    text[0] = QLatin1Char(type);
    const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        if (mode & (0400u >> bit)) text[bit + 1] = QLatin1Char(letters[bit]);
    if (mode & S_ISUID) text[3] = (mode & S_IXUSR) ? QLatin1Char('s') : QLatin1Char('S');
    if (mode & S_ISGID) text[6] = (mode & S_IXGRP) ? QLatin1Char('s') : QLatin1Char('S');
    if (mode & S_ISVTX) text[9] = (mode & S_IXOTH) ? QLatin1Char('t') : QLatin1Char('T');
    return text + QStringLiteral(" (%1)").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

std::optional<FileProperties> readFileProperties(const QByteArray &path)
{
    struct statx st
    {
    };
    if (path.isEmpty() || ::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                                  STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
        return std::nullopt;
    const QByteArray trimmed = withoutTrailingSlashes(path);
    const qsizetype slash = trimmed.lastIndexOf('/');
    FileProperties p;
    p.name = displayText(trimmed.mid(slash + 1));
    p.folder =
        displayText(slash < 0 ? QByteArray(".") : trimmed.left(std::max<qsizetype>(slash, 1)));
    p.size = qint64(st.stx_size);
    const QMimeDatabase mimes;
    const QMimeType type = S_ISLNK(st.stx_mode)
                               ? mimes.mimeTypeForName(QStringLiteral("inode/symlink"))
                               : mimeOfFile(mimes, path, trimmed.mid(slash + 1));
    p.mimeType = type.name();
    p.mimeDescription = type.comment();
    p.owner = userName(st.stx_uid);
    p.group = groupName(st.stx_gid);
    p.mode = st.stx_mode & 07777;
    p.modeText = modeText(typeLetter(st.stx_mode), p.mode);
    p.modified = localTime(st.stx_mtime);
    p.accessed = localTime(st.stx_atime);
    p.createdIsChange = !(st.stx_mask & STATX_BTIME);
    p.created = localTime(p.createdIsChange ? st.stx_ctime : st.stx_btime);
    if (S_ISREG(st.stx_mode) && platform::hasPeExtension(trimmed.mid(slash + 1))) {
        const platform::PeVersionStrings versions = platform::readPeVersionStrings(path);
        p.fileVersion = versions.fileVersion;
        p.productVersion = versions.productVersion;
    }
    return p;
}

} // namespace clarivex::cleaning
