#include "core/platform/copy_data.h"
#include "core/platform/runtime_folder.h"
#include "support/test_main.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace clarivex::platform;

namespace {

// A Unix socket bound at the path of a window class, driven by hand: it can
// listen without ever answering, or be closed leaving its file behind.
class RawSocket
{
public:
    explicit RawSocket(const QString &windowClass)
    {
        const QByteArray path = QFile::encodeName(copyDataSocketPath(windowClass));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~RawSocket() { closeKeepingFile(); }
    bool bound() const { return m_bound; }
    bool listen() { return ::listen(m_fd, 4) == 0; }
    int acceptOne() { return ::accept(m_fd, nullptr, nullptr); }
    void closeKeepingFile()
    {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    bool m_bound = false;
};

} // namespace

class TestCopyData : public QObject
{
    Q_OBJECT
private slots:
    void textOfBlock_data();
    void textOfBlock();
    void runtimeFolderIsPrivate();
    void runtimeFolderRefusesLink();
    void peerIsSameUser();
    void deliversTextAndAnswer_data();
    void deliversTextAndAnswer();
    void comeForwardIsNotACopyDataText();
    void nobodyListening();
    void staleSocketIsReplaced();
    void liveListenerIsNotTakenOver();
    void receiverMayMessageBackWhileSenderWaits();
    void silentReceiverTimesOut();
    void receiverHangingUpIsAFailure();
    void oversizedRequestIsDropped();
};

void TestCopyData::textOfBlock_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("text with its NUL") << QByteArray("/TIME_TO_RUN_SCHEDULED_EVENT\0", 29)
                                       << QByteArray("/TIME_TO_RUN_SCHEDULED_EVENT");
    QTest::newRow("bytes after the NUL are ignored")
        << QByteArray("a|b\0junk", 8) << QByteArray("a|b");
    QTest::newRow("no NUL at all")
        << QByteArray("12-03-2000|18:00:00") << QByteArray("12-03-2000|18:00:00");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("come forward reads as empty") << comeForwardBlock() << QByteArray();
}

void TestCopyData::textOfBlock()
{
    QFETCH(QByteArray, block);
    QFETCH(QByteArray, text);
    QCOMPARE(copyDataText(block), text);
}

void TestCopyData::runtimeFolderIsPrivate()
{
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/clarivex");
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    const auto made = runtimeFolder();
    QVERIFY(made);
    QCOMPARE(*made, folder + QLatin1Char('/'));
    struct stat st = {};
    QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), 0700);
}

void TestCopyData::runtimeFolderRefusesLink()
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir elsewhere;
    const QString runtime = elsewhere.path() + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QDir().mkpath(elsewhere.path() + QStringLiteral("/target"));
    QVERIFY(QFile::link(elsewhere.path() + QStringLiteral("/target"),
                        runtime + QStringLiteral("/clarivex")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    QString error;
    const auto folder = runtimeFolder(&error);
    qputenv("XDG_RUNTIME_DIR", saved);
    QVERIFY(!folder);
    QVERIFY(error.contains(QStringLiteral("not a folder")));
}

void TestCopyData::peerIsSameUser()
{
    int pair[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    QCOMPARE(peerUserId(pair[0]), std::optional<uid_t>(::getuid()));
    ::close(pair[0]);
    ::close(pair[1]);
    QVERIFY(!peerUserId(-1));
}

void TestCopyData::deliversTextAndAnswer_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QByteArray>("expectedText");
    QTest::addColumn<int>("answer");
    QTest::newRow("scheduled event") << QByteArray("/TIME_TO_RUN_SCHEDULED_EVENT\0", 29)
                                     << QByteArray("/TIME_TO_RUN_SCHEDULED_EVENT") << 1;
    QTest::newRow("alarm hand-over")
        << QByteArray("17-03-2000|18:00:00\0", 20) << QByteArray("17-03-2000|18:00:00") << 0;
    QTest::newRow("empty block") << QByteArray() << QByteArray() << -7;
    QTest::newRow("8-bit text") << QByteArray("caf\xe9\0", 5) << QByteArray("caf\xe9") << 42;
}

void TestCopyData::deliversTextAndAnswer()
{
    QFETCH(QByteArray, block);
    QFETCH(QByteArray, expectedText);
    QFETCH(int, answer);
    CopyDataServer server;
    QVERIFY2(server.listen(QStringLiteral("Receiver")), qPrintable(server.errorString()));
    QByteArrayList received;
    server.setHandler([&](const QByteArray &text) {
        received.append(text);
        return qint32(answer);
    });
    const CopyDataResult result = sendCopyData(QStringLiteral("Receiver"), block, 5000);
    QCOMPARE(result.status, CopyDataStatus::Delivered);
    QCOMPARE(result.reply, answer);
    QCOMPARE(received, QByteArrayList{expectedText});
}

void TestCopyData::comeForwardIsNotACopyDataText()
{
    CopyDataServer server;
    QVERIFY(server.listen(QString::fromLatin1(kMainWindowClass)));
    int handled = 0;
    server.setHandler([&](const QByteArray &) {
        ++handled;
        return 1;
    });
    QSignalSpy forward(&server, &CopyDataServer::comeForwardRequested);
    const auto asked =
        sendCopyData(QString::fromLatin1(kMainWindowClass), comeForwardBlock(), 5000);
    QVERIFY(asked.delivered());
    QCOMPARE(asked.reply, 1);
    QCOMPARE(forward.count(), 1);
    QCOMPARE(handled, 0);

    // The marker sent as an ordinary text is just a text.
    const auto text =
        sendCopyDataText(QString::fromLatin1(kMainWindowClass), comeForwardBlock().mid(1), 5000);
    QVERIFY(text.delivered());
    QCOMPARE(forward.count(), 1);
    QCOMPARE(handled, 1);
}

void TestCopyData::nobodyListening()
{
    const auto result =
        sendCopyDataText(QStringLiteral("Nobody"), "/TIME_TO_RUN_SCHEDULED_EVENT", 1000);
    QCOMPARE(result.status, CopyDataStatus::NoWindow);
    QVERIFY(!result.delivered());
}

void TestCopyData::staleSocketIsReplaced()
{
    const QString windowClass = QStringLiteral("Crashed");
    {
        RawSocket dead(windowClass);
        QVERIFY(dead.bound());
        QVERIFY(dead.listen());
    } // closed without removing its file, as a crash leaves it
    QVERIFY(QFile::exists(copyDataSocketPath(windowClass)));
    QVERIFY(!windowExists(windowClass));
    QCOMPARE(sendCopyDataText(windowClass, "x", 1000).status, CopyDataStatus::NoWindow);

    CopyDataServer server;
    QVERIFY2(server.listen(windowClass), qPrintable(server.errorString()));
    QVERIFY(windowExists(windowClass));
    server.setHandler([](const QByteArray &) { return 5; });
    const auto result = sendCopyDataText(windowClass, "x", 5000);
    QVERIFY(result.delivered());
    QCOMPARE(result.reply, 5);
    server.close();
    QVERIFY(!QFile::exists(copyDataSocketPath(windowClass)));
    QVERIFY(!windowExists(windowClass));
}

void TestCopyData::liveListenerIsNotTakenOver()
{
    CopyDataServer first;
    QVERIFY(first.listen(QStringLiteral("Busy")));
    first.setHandler([](const QByteArray &) { return 11; });
    CopyDataServer second;
    QVERIFY(!second.listen(QStringLiteral("Busy")));
    QVERIFY(!second.errorString().isEmpty());
    const auto result = sendCopyDataText(QStringLiteral("Busy"), "x", 5000);
    QVERIFY(result.delivered());
    QCOMPARE(result.reply, 11);
}

void TestCopyData::receiverMayMessageBackWhileSenderWaits()
{
    // The Scheduler hands an event to the main program and waits; before the
    // main program answers, it hands its next alarm back to the Scheduler.
    CopyDataServer scheduler;
    CopyDataServer mainProgram;
    QVERIFY(scheduler.listen(QString::fromLatin1(kSchedulerWindowClass)));
    QVERIFY(mainProgram.listen(QString::fromLatin1(kMainWindowClass)));
    QByteArrayList alarms;
    scheduler.setHandler([&](const QByteArray &text) {
        alarms.append(text);
        return 0;
    });
    CopyDataResult handOver;
    mainProgram.setHandler([&](const QByteArray &text) {
        if (text == "/TIME_TO_RUN_SCHEDULED_EVENT")
            handOver = sendCopyDataText(QString::fromLatin1(kSchedulerWindowClass),
                                        "08-12-2026|10:00:00", 5000);
        return 1;
    });
    const auto result = sendCopyDataText(QString::fromLatin1(kMainWindowClass),
                                         "/TIME_TO_RUN_SCHEDULED_EVENT", 5000);
    QVERIFY(result.delivered());
    QCOMPARE(result.reply, 1);
    QVERIFY(handOver.delivered());
    QCOMPARE(alarms, QByteArrayList{"08-12-2026|10:00:00"});
}

void TestCopyData::silentReceiverTimesOut()
{
    RawSocket silent(QStringLiteral("Silent"));
    QVERIFY(silent.bound());
    QVERIFY(silent.listen()); // connections wait in the backlog, never answered
    QElapsedTimer clock;
    clock.start();
    const auto result = sendCopyDataText(QStringLiteral("Silent"), "x", 300);
    QCOMPARE(result.status, CopyDataStatus::TimedOut);
    QVERIFY(clock.elapsed() >= 250);
    QVERIFY(clock.elapsed() < 4000);
}

void TestCopyData::receiverHangingUpIsAFailure()
{
    RawSocket rude(QStringLiteral("Rude"));
    QVERIFY(rude.bound());
    QVERIFY(rude.listen());
    // Accept and hang up as soon as the request is in; no answer is sent.
    QTimer::singleShot(50, [&] {
        const int fd = rude.acceptOne();
        char buffer[64];
        (void)::read(fd, buffer, sizeof buffer);
        ::close(fd);
    });
    const auto result = sendCopyDataText(QStringLiteral("Rude"), "x", 5000);
    QCOMPARE(result.status, CopyDataStatus::Failed);
}

void TestCopyData::oversizedRequestIsDropped()
{
    CopyDataServer server;
    QVERIFY(server.listen(QStringLiteral("Guarded")));
    int handled = 0;
    server.setHandler([&](const QByteArray &) { return ++handled; });

    QLocalSocket socket;
    socket.connectToServer(server.socketPath());
    QVERIFY(socket.waitForConnected(2000));
    QByteArray header(4, '\0');
    qToLittleEndian<quint32>(quint32(kMaxCopyDataBytes + 1), header.data());
    socket.write(header);
    socket.flush();
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QLocalSocket::UnconnectedState, 5000);
    QCOMPARE(handled, 0);

    QCOMPARE(sendCopyData(QStringLiteral("Guarded"), QByteArray(kMaxCopyDataBytes + 1, 'x'), 1000)
                 .status,
             CopyDataStatus::Failed);
    const auto normal = sendCopyDataText(QStringLiteral("Guarded"), "x", 5000);
    QVERIFY(normal.delivered());
    QCOMPARE(handled, 1);
}

CLARIVEX_TEST_MAIN_CORE(TestCopyData)
#include "tst_copy_data.moc"
