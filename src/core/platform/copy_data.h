#pragma once

// Copy-data messages between the two programs. Each receiving window class
// ("TClarivexMainForm", "Clarivex 2000 Scheduler") listens on its own
// Unix-domain socket in the runtime folder (runtime_folder.h). A message is a
// block of bytes; the receiver reads it as a text up to its first NUL and
// answers with one 32-bit number. The sender waits for that answer while its
// own event loop keeps running, so a receiver may message the sender back
// before it answers (the Scheduler's alarm hand-over during a scheduled run).
//
// Wire form, both directions little-endian:
//   request  quint32 byte count, then the block (at most kMaxCopyDataBytes)
//   reply    qint32 answer
// Only peers running as the same user are served or believed.
//
// One request exists beside the copy-data texts: "come forward", sent by a
// second start of the main program. Its block is comeForwardBlock(), a NUL
// followed by a marker. Read as a copy-data text it is the empty text, so no
// real copy-data text can ever be mistaken for it, and it for one.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

#include <sys/types.h>

class QLocalSocket;
class QSocketNotifier;

namespace clarivex::platform {

inline constexpr char kMainWindowClass[] = "TClarivexMainForm";
inline constexpr char kSchedulerWindowClass[] = "Clarivex 2000 Scheduler";
inline constexpr qsizetype kMaxCopyDataBytes = 64 * 1024;

// The socket of a window class inside the runtime folder; empty when the
// folder cannot be used.
[[nodiscard]] QString copyDataSocketPath(const QString &windowClass);

// The block of the "come forward" request: "\0CLARIVEX_COME_FORWARD".
[[nodiscard]] QByteArray comeForwardBlock();

// True when a live process receives the messages of that window class (what
// FindWindow by class told the original programs, e.g. SchedulerRunning).
[[nodiscard]] bool windowExists(const QString &windowClass);

// The text of a copy-data block: its bytes up to the first NUL.
[[nodiscard]] QByteArray copyDataText(const QByteArray &block);

enum class CopyDataStatus {
    Delivered, // the receiver handled the block and answered
    NoWindow,  // nobody listens for that window class
    TimedOut,  // no answer within the time given
    Failed,    // the connection broke, or the peer is another user
};

struct CopyDataResult
{
    CopyDataStatus status = CopyDataStatus::Failed;
    qint32 reply = 0;
    QString error;
    bool delivered() const { return status == CopyDataStatus::Delivered; }
};

// Sends one block and waits for the answer, running a local event loop that
// serves timers, painting and incoming messages but no keyboard or mouse
// input. replyTimeoutMs < 0 waits until the answer comes or the receiver goes
// away (a scheduled run may take long).
[[nodiscard]] CopyDataResult sendCopyData(const QString &windowClass, const QByteArray &block,
                                          int replyTimeoutMs = -1);
// A text sent the way the original programs send it: its bytes and one NUL.
[[nodiscard]] CopyDataResult sendCopyDataText(const QString &windowClass, const QByteArray &text,
                                              int replyTimeoutMs = -1);

// The receiving end for one window class. It accepts connections itself, so
// that running out of descriptors never ends the listening: the oldest
// connections that have not sent a request yet are dropped to make room (and
// while few descriptors are left, before it runs out), and a connection that
// cannot be taken is refused. The socket file stays until close().
class CopyDataServer : public QObject
{
    Q_OBJECT
public:
    // Runs for every copy-data text (the block up to its first NUL) on the
    // user-interface thread; its result is the answer. Without a handler the
    // answer is 0.
    using Handler = std::function<qint32(const QByteArray &text)>;

    explicit CopyDataServer(QObject *parent = nullptr);
    ~CopyDataServer() override;

    // Starts listening. A socket left behind by a crashed process is removed
    // first; false when a live process already listens for that class, or the
    // socket cannot be made (errorString() says which).
    [[nodiscard]] bool listen(const QString &windowClass);
    void close();
    bool isListening() const;
    QString socketPath() const { return m_path; }
    QString errorString() const { return m_error; }
    // Connections open now (waiting for their request or being answered).
    int connectionCount() const { return int(m_order.size()); }

    void setHandler(Handler handler) { m_handler = std::move(handler); }

signals:
    // A second start of the main program asks this one to come forward
    // (restored when minimised, raised otherwise). Answered with 1.
    void comeForwardRequested();

private:
    void acceptPending();
    [[nodiscard]] bool makeRoom();
    void pauseAccepting();
    void adopt(int fd);
    void forget(QLocalSocket *socket);
    void readRequest(QLocalSocket *socket);
    void answer(QLocalSocket *socket, const QByteArray &block);

    int m_listenFd = -1;
    int m_reserveFd = -1; // given up to take and refuse one connection when none is left
    QSocketNotifier *m_notifier = nullptr;
    QHash<QLocalSocket *, QByteArray> m_pending; // waiting for their request
    QList<QLocalSocket *> m_order;               // every open connection, oldest first
    Handler m_handler;
    QString m_path;
    QString m_error;
    dev_t m_device = 0; // of the socket file this server made
    ino_t m_inode = 0;
};

} // namespace clarivex::platform
