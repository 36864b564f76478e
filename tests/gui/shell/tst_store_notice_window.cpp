// The window's start with a damaged settings file that is moved aside when
// the fresh file cannot be made either: the user hears of both.

#include "core/shell/registry_database.h"
#include "gui/shell/main_window.h"
#include "support/process_limits.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QDir>

#include <csignal>

using namespace clarivex;
using namespace clarivex::test;

class TestStoreNoticeWindow : public QObject
{
    Q_OBJECT
private slots:
    void movedAsideIsToldWhenTheStoreFails();
};

void TestStoreNoticeWindow::movedAsideIsToldWhenTheStoreFails()
{
    RegistryDatabase::closeInstance();
    const QString path = RegistryDatabase::defaultPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'z'));
    file.close();
    ScopedNotices notices;
    TClarivexMainForm window;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    {
        const ScopedLimit limit(RLIMIT_FSIZE, 0); // the fresh file cannot be written
        QVERIFY(limit.ok());
        window.createWindowSteps({});
    }
    std::signal(SIGXFSZ, previous);
    RegistryDatabase::closeInstance();
    QCOMPARE(notices->requests().size(), 2);
    QCOMPARE(notices->requests().at(0).kind, ScriptedNotices::Kind::Information);
    QVERIFY2(notices->requests().at(0).text.contains("was damaged. It was kept as"),
             qPrintable(notices->requests().at(0).text));
    QCOMPARE(notices->requests().at(1).kind, ScriptedNotices::Kind::Dialog);
    QVERIFY2(notices->requests().at(1).text.contains("Cannot open the settings database"),
             qPrintable(notices->requests().at(1).text));
}

CLARIVEX_TEST_MAIN(TestStoreNoticeWindow)
#include "tst_store_notice_window.moc"
