#include "core/shell/command_line.h"
#include "support/test_main.h"

using namespace clarivex;

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void parametersLeaveOutTheProgram();
    void splash_data();
    void splash();
    void scheduledSwitch_data();
    void scheduledSwitch();
};

void TestCommandLine::parametersLeaveOutTheProgram()
{
    QCOMPARE(commandLineParameters({QStringLiteral("/opt/clarivex"), QStringLiteral("/NOSPLASH")}),
             QStringList{QStringLiteral("/NOSPLASH")});
    QCOMPARE(commandLineParameters({QStringLiteral("/opt/clarivex")}), QStringList());
    QCOMPARE(commandLineParameters({}), QStringList());
}

void TestCommandLine::splash_data()
{
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<bool>("splash");
    QTest::newRow("none") << QStringList() << true;
    QTest::newRow("exact") << QStringList{"/NOSPLASH"} << false;
    QTest::newRow("lower case") << QStringList{"/nosplash"} << false;
    QTest::newRow("mixed case") << QStringList{"/NoSplash"} << false;
    QTest::newRow("with another parameter") << QStringList{"/NOSPLASH", "x"} << true;
    QTest::newRow("after another parameter")
        << QStringList{"/TIME_TO_RUN_SCHEDULED_EVENT", "/NOSPLASH"} << true;
    QTest::newRow("twice") << QStringList{"/NOSPLASH", "/NOSPLASH"} << true;
    QTest::newRow("without slash") << QStringList{"NOSPLASH"} << true;
    QTest::newRow("with a blank") << QStringList{"/NOSPLASH "} << true;
}

void TestCommandLine::splash()
{
    QFETCH(QStringList, parameters);
    QFETCH(bool, splash);
    QCOMPARE(StartWithSplash(parameters), splash);
}

void TestCommandLine::scheduledSwitch_data()
{
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<bool>("scheduled");
    QTest::newRow("none") << QStringList() << false;
    QTest::newRow("alone") << QStringList{"/TIME_TO_RUN_SCHEDULED_EVENT"} << true;
    QTest::newRow("lower case") << QStringList{"/time_to_run_scheduled_event"} << false;
    QTest::newRow("any position") << QStringList{"a", "/NOSPLASH", "/TIME_TO_RUN_SCHEDULED_EVENT"}
                                  << true;
    QTest::newRow("twice") << QStringList{"/TIME_TO_RUN_SCHEDULED_EVENT",
                                          "/TIME_TO_RUN_SCHEDULED_EVENT"}
                           << true;
    QTest::newRow("part of a parameter") << QStringList{"/TIME_TO_RUN_SCHEDULED_EVENT2"} << false;
}

void TestCommandLine::scheduledSwitch()
{
    QFETCH(QStringList, parameters);
    QFETCH(bool, scheduled);
    QCOMPARE(hasScheduledSwitch(parameters), scheduled);
}

CLARIVEX_TEST_MAIN_CORE(TestCommandLine)
#include "tst_command_line.moc"
