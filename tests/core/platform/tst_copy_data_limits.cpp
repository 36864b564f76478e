// The copy-data server when descriptors run short: many silent connections
// from another process under a low descriptor limit must not end its
// listening, and a real message still gets its answer.

#include "core/platform/copy_data.h"
#include "support/process_limits.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QFile>
#include <QProcess>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace clarivex::platform;
using namespace clarivex::test;

namespace {
const QString kClass = QStringLiteral("Crowded");

// Child role: opens `count` connections that never send anything, says
// "ready", and keeps them until it is ended.
int silentClients(int count)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max; // the parent's low limit is not this side's
    ::setrlimit(RLIMIT_NOFILE, &limit);
    const QByteArray path = QFile::encodeName(copyDataSocketPath(kClass));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    for (int i = 0; i < count; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    ::sleep(unsigned(waitLimitMs() / 1000));
    return 0;
}
} // namespace

class TestCopyDataLimits : public QObject
{
    Q_OBJECT
private slots:
    void listensOnWhenDescriptorsRunShort();
};

void TestCopyDataLimits::listensOnWhenDescriptorsRunShort()
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers probe memory through a pipe of their own; with the
    // descriptors used up on purpose, the probe fails and reports a fault
    // that is not there.
    QSKIP("the sanitizers need spare descriptors, which this test uses up");
#endif
    CopyDataServer server;
    QVERIFY2(server.listen(kClass), qPrintable(server.errorString()));
    server.setHandler([](const QByteArray &text) { return qint32(text.size()); });
    const ScopedLimit limit(RLIMIT_NOFILE, 128);
    QVERIFY(limit.ok());
    QProcess clients;
    clients.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    clients.start(QCoreApplication::applicationFilePath(), {"--silent-clients", "200"});
    // The server accepts while this loop turns; the clients block until it does.
    QTRY_VERIFY_WITH_TIMEOUT(clients.canReadLine() || clients.state() == QProcess::NotRunning,
                             waitLimitMs());
    QCOMPARE(clients.readLine(), QByteArray("ready\n"));
    QVERIFY(server.isListening());
    QVERIFY(QFile::exists(copyDataSocketPath(kClass)));
    QVERIFY(server.connectionCount() < 128);
    const CopyDataResult result = sendCopyDataText(kClass, "hello", waitLimitMs());
    QVERIFY2(result.delivered(), qPrintable(result.error));
    QCOMPARE(result.reply, 5);
    clients.kill();
    QVERIFY(finishes(clients, "the silent clients"));
}

int main(int argc, char **argv)
{
    if (argc > 2 && std::strcmp(argv[1], "--silent-clients") == 0) {
        QCoreApplication app(argc, argv); // the environment comes from the parent
        return silentClients(std::atoi(argv[2]));
    }
    clarivex::test::TestEnvironment testEnvironment;
    clarivexLimitTestFunctions();
    QCoreApplication app(argc, argv);
    TestCopyDataLimits tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_copy_data_limits.moc"
