#include "core/platform/copy_data.h"

#include "core/platform/copy_data_socket.h"
#include "core/platform/runtime_folder.h"

#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace clarivex::platform {

namespace {

constexpr int kConnectTimeoutMs = 5000;
// A request that has not fully arrived by then is dropped.
constexpr int kRequestTimeoutMs = 10000;
// The waiting side goes on with painting, timers and sockets, but takes no
// keyboard or mouse input until the answer is in.
constexpr auto kWaitFlags = QEventLoop::ExcludeUserInputEvents;

QByteArray frame(const QByteArray &block)
{
    QByteArray out(4, '\0');
    qToLittleEndian<quint32>(quint32(block.size()), out.data());
    return out + block;
}

} // namespace

// True when a process accepts connections on the socket file.
bool socketIsLive(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    if (native.size() >= qsizetype(sizeof address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const int rc = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    const int error = errno;
    ::close(fd);
    return rc == 0 || error == EAGAIN;
}

bool peerIsUs(const QLocalSocket &socket)
{
    const auto uid = peerUserId(int(socket.socketDescriptor()));
    return uid && *uid == ::getuid();
}

namespace {

CopyDataResult failure(CopyDataStatus status, const QString &error)
{
    CopyDataResult result;
    result.status = status;
    result.error = error;
    return result;
}

// Runs a local event loop until done() holds, the socket drops, or the time
// (when not negative) runs out. False on time-out.
template <typename Done> bool waitFor(QLocalSocket &socket, int timeoutMs, Done done)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    const auto check = [&] {
        if (done() || socket.state() == QLocalSocket::UnconnectedState) loop.quit();
    };
    QObject::connect(&socket, &QLocalSocket::connected, &loop, check);
    QObject::connect(&socket, &QLocalSocket::readyRead, &loop, check);
    QObject::connect(&socket, &QLocalSocket::disconnected, &loop, check);
    QObject::connect(&socket, &QLocalSocket::errorOccurred, &loop, check);
    if (timeoutMs >= 0) timer.start(timeoutMs);
    while (!done() && !timedOut && socket.state() != QLocalSocket::UnconnectedState)
        loop.exec(kWaitFlags);
    return !timedOut || done();
}

} // namespace

QString copyDataSocketPath(const QString &windowClass)
{
    const auto folder = runtimeFolder();
    if (!folder) return {};
    return *folder + windowClass + QStringLiteral(".socket");
}

bool windowExists(const QString &windowClass)
{
    const QString path = copyDataSocketPath(windowClass);
    return !path.isEmpty() && socketIsLive(path);
}

QByteArray comeForwardBlock()
{
    return QByteArrayLiteral("\0CLARIVEX_COME_FORWARD");
}

QByteArray copyDataText(const QByteArray &block)
{
    const qsizetype nul = block.indexOf('\0');
    return nul < 0 ? block : block.left(nul);
}

CopyDataResult sendCopyDataText(const QString &windowClass, const QByteArray &text,
                                int replyTimeoutMs)
{
    return sendCopyData(windowClass, copyDataText(text) + '\0', replyTimeoutMs);
}

CopyDataResult sendCopyData(const QString &windowClass, const QByteArray &block, int replyTimeoutMs)
{
    if (block.size() > kMaxCopyDataBytes)
        return failure(CopyDataStatus::Failed, QStringLiteral("The message is too long"));
    QString folderError;
    if (!runtimeFolder(&folderError)) return failure(CopyDataStatus::NoWindow, folderError);
    const QString path = copyDataSocketPath(windowClass);

    QLocalSocket socket;
    socket.connectToServer(path);
    const int connectLimit =
        replyTimeoutMs >= 0 ? std::min(kConnectTimeoutMs, replyTimeoutMs) : kConnectTimeoutMs;
    waitFor(socket, connectLimit, [&] { return socket.state() == QLocalSocket::ConnectedState; });
    if (socket.state() != QLocalSocket::ConnectedState) {
        const auto error = socket.error();
        const bool nobody = error == QLocalSocket::ServerNotFoundError ||
                            error == QLocalSocket::ConnectionRefusedError;
        return failure(nobody ? CopyDataStatus::NoWindow : CopyDataStatus::Failed,
                       socket.errorString());
    }
    if (!peerIsUs(socket))
        return failure(CopyDataStatus::Failed,
                       QStringLiteral("The receiver of %1 runs as another user").arg(windowClass));

    socket.write(frame(block));
    socket.flush();
    QByteArray answer;
    const auto answered = [&] {
        answer += socket.readAll();
        return answer.size() >= 4;
    };
    if (!waitFor(socket, replyTimeoutMs, answered))
        return failure(CopyDataStatus::TimedOut,
                       QStringLiteral("%1 did not answer in time").arg(windowClass));
    answered();
    if (answer.size() < 4)
        return failure(
            CopyDataStatus::Failed,
            QStringLiteral("%1 closed the connection without answering").arg(windowClass));
    CopyDataResult result;
    result.status = CopyDataStatus::Delivered;
    result.reply = qFromLittleEndian<qint32>(answer.constData());
    socket.disconnectFromServer();
    return result;
}

} // namespace clarivex::platform
