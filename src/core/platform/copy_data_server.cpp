// The receiving end of copy-data messages: a listening Unix socket whose
// connections it accepts itself (QLocalServer closes for good on the first
// failed accept), each wrapped in a QLocalSocket once taken.

#include "core/platform/copy_data.h"
#include "core/platform/copy_data_socket.h"
#include "core/platform/runtime_folder.h"

#include <QFile>
#include <QLocalSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace clarivex::platform {

namespace {

// A request that has not fully arrived by then is dropped.
constexpr int kRequestTimeoutMs = 10000;
// Descriptors kept free for the rest of the program: past this, the oldest
// waiting connections go.
constexpr int kDescriptorHeadroom = 24;
constexpr int kBacklog = 64;

int openReserve()
{
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

bool nearDescriptorLimit(int fd)
{
    rlimit limit{};
    return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
           rlim_t(fd) + kDescriptorHeadroom >= limit.rlim_cur;
}

} // namespace

CopyDataServer::CopyDataServer(QObject *parent) : QObject(parent) {}

CopyDataServer::~CopyDataServer()
{
    close();
}

bool CopyDataServer::listen(const QString &windowClass)
{
    close();
    QString folderError;
    if (!runtimeFolder(&folderError)) {
        m_error = folderError;
        return false;
    }
    const QString path = copyDataSocketPath(windowClass);
    if (socketIsLive(path)) {
        m_error =
            QStringLiteral("Another process already receives the messages of %1").arg(windowClass);
        return false;
    }
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    if (native.size() >= qsizetype(sizeof address.sun_path)) {
        m_error = QStringLiteral("The socket path %1 is too long").arg(path);
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ::unlink(native.constData()); // left behind by a process that ended without closing it
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    struct stat st;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::chmod(native.constData(), 0600) != 0 || ::listen(fd, kBacklog) != 0 ||
        ::stat(native.constData(), &st) != 0) {
        m_error = QStringLiteral("Cannot listen on %1: %2")
                      .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0) ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_reserveFd = openReserve();
    m_path = path;
    m_error.clear();
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CopyDataServer::acceptPending);
    return true;
}

void CopyDataServer::close()
{
    m_pending.clear();
    for (QLocalSocket *socket : std::exchange(m_order, {})) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    delete m_notifier;
    m_notifier = nullptr;
    if (m_listenFd < 0) return;
    ::close(m_listenFd);
    m_listenFd = -1;
    if (m_reserveFd >= 0) ::close(m_reserveFd);
    m_reserveFd = -1;
    // Only the file this server made: another process may listen there by now.
    const QByteArray native = QFile::encodeName(m_path);
    struct stat st;
    if (::lstat(native.constData(), &st) == 0 && st.st_dev == m_device && st.st_ino == m_inode)
        ::unlink(native.constData());
    m_path.clear();
}

bool CopyDataServer::isListening() const
{
    return m_listenFd >= 0;
}

// Drops the oldest connection that is still waiting for its request.
bool CopyDataServer::makeRoom()
{
    for (QLocalSocket *socket : m_order) {
        if (m_pending.contains(socket)) {
            socket->abort(); // forget() follows from its disconnected signal
            forget(socket);
            return true;
        }
    }
    return false;
}

// Nothing could be taken or dropped: try again shortly instead of spinning.
void CopyDataServer::pauseAccepting()
{
    if (!m_notifier) return;
    m_notifier->setEnabled(false);
    QTimer::singleShot(100, m_notifier, [notifier = m_notifier] { notifier->setEnabled(true); });
}

void CopyDataServer::acceptPending()
{
    while (m_listenFd >= 0) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            adopt(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return;
        if ((errno == EMFILE || errno == ENFILE) && makeRoom()) continue;
        if ((errno == EMFILE || errno == ENFILE) && m_reserveFd >= 0) {
            // Take the waiting connection with the reserve and refuse it.
            ::close(m_reserveFd);
            const int refused = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (refused >= 0) ::close(refused);
            m_reserveFd = openReserve();
            if (refused >= 0) continue;
        }
        pauseAccepting();
        return;
    }
}

void CopyDataServer::adopt(int fd)
{
    if (nearDescriptorLimit(fd)) (void)makeRoom();
    auto *socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd, QLocalSocket::ConnectedState)) {
        ::close(fd);
        delete socket;
        return;
    }
    if (!peerIsUs(*socket)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_pending.insert(socket, {});
    m_order.append(socket);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { forget(socket); });
    QTimer::singleShot(kRequestTimeoutMs, socket, [this, socket] {
        if (m_pending.contains(socket)) {
            socket->abort();
            forget(socket);
        }
    });
    if (socket->bytesAvailable() > 0) readRequest(socket);
}

void CopyDataServer::forget(QLocalSocket *socket)
{
    m_pending.remove(socket);
    if (m_order.removeOne(socket)) socket->deleteLater();
}

void CopyDataServer::readRequest(QLocalSocket *socket)
{
    const auto it = m_pending.find(socket);
    if (it == m_pending.end()) return; // already answered or being answered
    QByteArray &buffer = it.value();
    buffer += socket->readAll();
    if (buffer.size() < 4) return;
    const quint32 size = qFromLittleEndian<quint32>(buffer.constData());
    if (size > quint32(kMaxCopyDataBytes)) {
        m_pending.erase(it);
        socket->abort();
        forget(socket);
        return;
    }
    if (buffer.size() < 4 + qsizetype(size)) return;
    const QByteArray block = buffer.mid(4, size);
    m_pending.erase(it);
    answer(socket, block);
}

void CopyDataServer::answer(QLocalSocket *socket, const QByteArray &block)
{
    // The handler may run for minutes and process events meanwhile; the
    // socket or this server may be gone when it returns.
    const QPointer<QLocalSocket> guard(socket);
    qint32 reply = 0;
    if (block == comeForwardBlock()) {
        emit comeForwardRequested();
        reply = 1;
    } else if (m_handler) {
        const Handler handler = m_handler; // survives a setHandler() from inside
        try {
            reply = handler(copyDataText(block));
        } catch (const std::exception &error) {
            qWarning("copy-data handler failed: %s", error.what());
        } catch (...) {
            qWarning("copy-data handler failed");
        }
    }
    if (!guard || guard->state() != QLocalSocket::ConnectedState) return;
    QByteArray out(4, '\0');
    qToLittleEndian<qint32>(reply, out.data());
    guard->write(out);
    guard->disconnectFromServer(); // after the answer has been written
}

} // namespace clarivex::platform
