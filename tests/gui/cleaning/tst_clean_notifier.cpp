// The message after an automatic or scheduled clean: its text, and the
// fallback (the tray's message) where no notification service answers,
// reached within a bounded time and without a session bus.

#include "core/cleaning/clean_summary.h"
#include "gui/cleaning/clean_notifier.h"
#include "support/test_main.h"

#include <QElapsedTimer>

using namespace clarivex;

class TestCleanNotifier : public QObject
{
    Q_OBJECT
private slots:
    void summaryText_data();
    void summaryText();
    void fallbackWhereNoServiceAnswers_data();
    void fallbackWhereNoServiceAnswers();
};

void TestCleanNotifier::summaryText_data()
{
    QTest::addColumn<qint64>("files");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("grouped, MB") << qint64(1204) << qint64(312) * 1024 * 1024
                                 << "Cleaned 1,204 files, 312 MB";
    QTest::newRow("one file, bytes") << qint64(1) << qint64(100) << "Cleaned 1 file, 100 bytes";
    QTest::newRow("decimal below 10") << qint64(3) << qint64(1536) << "Cleaned 3 files, 1.5 KB";
    QTest::newRow("rounds up to the unit")
        << qint64(2) << qint64(1024) * 1024 * 1024 - 1 << "Cleaned 2 files, 1,024 MB";
}

void TestCleanNotifier::summaryText()
{
    QFETCH(qint64, files);
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(cleaning::cleanedSummary(files, bytes), text);
}

void TestCleanNotifier::fallbackWhereNoServiceAnswers_data()
{
    QTest::addColumn<bool>("busAddress");
    QTest::newRow("no session bus") << false;
    QTest::newRow("no notification service on the bus") << true;
}

void TestCleanNotifier::fallbackWhereNoServiceAnswers()
{
    QFETCH(bool, busAddress);
    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!busAddress) qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    ui::CleanNotifier notifier;
    notifier.service = QStringLiteral("org.clarivex.test.NoSuchNotifications");
    notifier.timeoutMs = 500;
    QStringList shown;
    notifier.fallback = [&](const QString &title, const QString &text) {
        shown << title + QStringLiteral(": ") + text;
    };
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!notifier.notify(7, QStringLiteral("Cleaned 2 files, 10 bytes")));
    QVERIFY(clock.elapsed() < 3 * notifier.timeoutMs + 1000);
    QCOMPARE(shown, QStringList{QStringLiteral("Clarivex 2000: Cleaned 2 files, 10 bytes")});
    if (!saved.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
}

CLARIVEX_TEST_MAIN_CORE(TestCleanNotifier)
#include "tst_clean_notifier.moc"
