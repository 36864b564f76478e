#include "core/shell/database_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex {

bool isDatabaseDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

void configureSqliteOnce()
{
    // Too late (and refused) once SQLite is in use: harmless.
    static const int configured = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    (void)configured;
}

int openPrivateDatabase(const QString &path, sqlite3 **db, int busyTimeoutMs, bool oneThread)
{
    configureSqliteOnce();
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::lstat(name.constData(), &st) != 0) {
        // What it holds is the user's alone.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
    }
    const int rc = sqlite3_open_v2(name.constData(), db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                       SQLITE_OPEN_NOFOLLOW | (oneThread ? SQLITE_OPEN_NOMUTEX : 0),
                                   nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(*db, busyTimeoutMs);
        sqlite3_extended_result_codes(*db, 1);
    }
    return rc;
}

QString moveDamagedDatabaseAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) != 0)
        return {};
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString side = path + QLatin1String(suffix);
        if (QFileInfo::exists(side)) QFile::rename(side, target + QLatin1String(suffix));
    }
    return target;
}

} // namespace clarivex
