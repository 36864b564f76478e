#include "core/platform/runtime_folder.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::platform {

namespace {

QString baseFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && runtime.startsWith(QLatin1Char('/')))
        return runtime + QStringLiteral("/clarivex");
    return QStringLiteral("/tmp/clarivex-%1").arg(::getuid());
}

bool fail(QString *error, const QString &message)
{
    if (error) *error = message;
    return false;
}

// Makes the folder exist as a real directory of ours with mode 0700.
bool makePrivateFolder(const QString &path, QString *error)
{
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return fail(error, QStringLiteral("Cannot create %1: %2")
                               .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st = {};
    if (::lstat(native.constData(), &st) != 0)
        return fail(error, QStringLiteral("Cannot examine %1: %2")
                               .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISDIR(st.st_mode)) return fail(error, QStringLiteral("%1 is not a folder").arg(path));
    if (st.st_uid != ::getuid())
        return fail(error, QStringLiteral("%1 belongs to another user").arg(path));
    if ((st.st_mode & 07777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return fail(error, QStringLiteral("Cannot make %1 private: %2")
                               .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

} // namespace

std::optional<QString> runtimeFolder(QString *error)
{
    const QString folder = baseFolder();
    if (!makePrivateFolder(folder, error)) return std::nullopt;
    return folder + QLatin1Char('/');
}

std::optional<uid_t> peerUserId(int socketDescriptor)
{
    struct ucred credentials = {};
    socklen_t length = sizeof credentials;
    if (socketDescriptor < 0 ||
        ::getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return std::nullopt;
    return credentials.uid;
}

} // namespace clarivex::platform
