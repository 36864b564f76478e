#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QProcess>

#include <signal.h>
#include <sqlite3.h>

using namespace clarivex;
using clarivex::test::finishes;
using clarivex::test::waitLimitMs;

namespace {
const QString kSection = QStringLiteral("Software\\Marlowtek\\Clarivex 2000\\Concurrent");

void removeStore()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
}

// Starts this program again, running one test function as a child role.
std::unique_ptr<QProcess> startRole(const QString &function, const QString &role)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CLARIVEX_TEST_INHERIT_HOME", "1");
    env.insert("CLARIVEX_TEST_ROLE", role);
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QCoreApplication::applicationFilePath(), {function});
    return process;
}

QString role()
{
    return qEnvironmentVariable("CLARIVEX_TEST_ROLE");
}
} // namespace

class TestRegistryDatabase : public QObject
{
    Q_OBJECT
private slots:
    // Child roles: they do nothing when the program runs as a test.
    void writerRole();
    void endlessWriterRole();

    void twoProcessesLoseNothing();
    void killedWriterLeavesPreviousValue();
    void damagedFilesAreMovedAside_data();
    void damagedFilesAreMovedAside();
    void unusableFolderNamesThePath();
};

void TestRegistryDatabase::writerRole()
{
    if (role().isEmpty()) QSKIP("runs only as a child of twoProcessesLoseNothing");
    TRegIniFile ini(kSection);
    for (int i = 0; i < 1000; ++i)
        ini.WriteNumber(QString(), QStringLiteral("%1-%2").arg(role()).arg(i), i);
}

void TestRegistryDatabase::endlessWriterRole()
{
    if (role().isEmpty()) QSKIP("runs only as a child of killedWriterLeavesPreviousValue");
    TRegIniFile ini(kSection);
    for (int round = 0;; ++round) // ends when the parent kills it
        ini.WriteText(QString(), "Big", QString(256 * 1024, QChar('a' + round % 26)));
}

void TestRegistryDatabase::twoProcessesLoseNothing()
{
    removeStore();
    TRegIniFile(kSection).WriteText(QString(), "ready", "1"); // lay out the file first
    RegistryDatabase::closeInstance();
    auto first = startRole("writerRole", "one");
    auto second = startRole("writerRole", "two");
    // A thousand committed writes each; a loaded disk may take a while.
    QVERIFY(finishes(*first, "the first writer", 2 * waitLimitMs()));
    QVERIFY(finishes(*second, "the second writer", 2 * waitLimitMs()));
    QCOMPARE(first->exitCode(), 0);
    QCOMPARE(second->exitCode(), 0);

    TRegIniFile ini(kSection);
    QStringList names;
    ini.ListValueNames(QString(), names);
    QCOMPARE(names.size(), 2001);
    for (const char *writer : {"one", "two"}) {
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(ini.ReadNumber(QString(), QStringLiteral("%1-%2").arg(writer).arg(i), -1), i);
    }
}

void TestRegistryDatabase::killedWriterLeavesPreviousValue()
{
    removeStore();
    auto writer = startRole("endlessWriterRole", "endless");
    // Let it write a few rounds, then kill it wherever it is.
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        QTest::qWait(50);
        TRegIniFile probe(kSection);
        if (probe.ReadText(QString(), "Big", QString()).startsWith('c') || timer.elapsed() > 20000)
            break;
    }
    ::kill(pid_t(writer->processId()), SIGKILL);
    QVERIFY(finishes(*writer, "the killed writer"));
    RegistryDatabase::closeInstance();

    TRegIniFile ini(kSection);
    QCOMPARE(RegistryDatabase::instance().takeResetNotice(), QString());
    const QString text = ini.ReadText(QString(), "Big", QString());
    QCOMPARE(text.size(), 256 * 1024);
    QCOMPARE(text.count(text.front()), text.size()); // one whole write, never a mix
}

void TestRegistryDatabase::damagedFilesAreMovedAside_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("not a database") << "text";
    QTest::newRow("pages overwritten") << "pages";
}

void TestRegistryDatabase::damagedFilesAreMovedAside()
{
    QFETCH(QString, damage);
    removeStore();
    const QString path = RegistryDatabase::defaultPath();
    {
        TRegIniFile ini(kSection);
        for (int i = 0; i < 300; ++i)
            ini.WriteText(QStringLiteral("S%1").arg(i), "v", QString(200, 'x'));
    }
    RegistryDatabase::closeInstance();
    QByteArray bytes;
    {
        // Fold the write-ahead log into the file so that the damage hits real pages.
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (damage == "text") {
            file.resize(0);
            file.write("these are not the settings you are looking for\n");
        } else {
            QVERIFY(file.size() > 16 * 4096);
            for (qint64 offset = 4096; offset < file.size(); offset += 4 * 4096) {
                file.seek(offset);
                file.write(QByteArray(4096, '\xa5'));
            }
        }
        file.close();
        QFile readBack(path);
        QVERIFY(readBack.open(QIODevice::ReadOnly));
        bytes = readBack.readAll();
    }

    TRegIniFile ini(kSection);
    RegistryDatabase &store = RegistryDatabase::instance();
    const QString notice = store.takeResetNotice();
    QVERIFY2(notice.contains(store.movedAsidePath()) && !store.movedAsidePath().isEmpty(),
             qPrintable(notice));
    QCOMPARE(store.takeResetNotice(), QString()); // said once
    QFile kept(store.movedAsidePath());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), bytes); // the damaged file is kept as it was
    QCOMPARE(ini.ReadText("S1", "v", "fresh"), QStringLiteral("fresh"));
    ini.WriteText("S1", "v", "new");
    QCOMPARE(ini.ReadText("S1", "v", QString()), QStringLiteral("new"));
}

void TestRegistryDatabase::unusableFolderNamesThePath()
{
    removeStore();
    // A plain file where the configuration folder should be: nothing can be
    // created below it, whoever runs the test.
    const QString blocker = QDir::tempPath() + "/not-a-folder";
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));
    QString message;
    try {
        TRegIniFile ini(kSection);
    } catch (const ERegistryException &e) {
        message = e.message();
    }
    qputenv("XDG_CONFIG_HOME", saved);
    RegistryDatabase::closeInstance();
    QVERIFY2(message.contains(blocker + "/clarivex"), qPrintable(message));
}

CLARIVEX_TEST_MAIN_CORE(TestRegistryDatabase)
#include "tst_registry_database.moc"
