// clarivex-cli schedule next: the stored schedule, the clock moved for the
// child through CLARIVEX_SCHEDULE_CLOCK.

#include "core/base/settings_types.h"
#include "core/shell/custom_registry.h"
#include "support/cli_runner.h"
#include "support/test_environment.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

using namespace clarivex;
using namespace clarivex::test;

namespace {

const QString kSchedule = QStringLiteral("Settings\\Schedule");

// Moves the clock of the programs started from now on to `now`.
void setChildClock(const QDateTime &now)
{
    const QString path = testRoot() + QStringLiteral("/clock-shift");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::number(QDateTime::currentDateTime().msecsTo(now)));
    file.close();
    qputenv("CLARIVEX_SCHEDULE_CLOCK", QFile::encodeName(path));
}

} // namespace

class TestScheduleCommand : public QObject
{
    Q_OBJECT
private slots:
    void nextFromTheStore_data();
    void nextFromTheStore();
    void usage();
};

void TestScheduleCommand::nextFromTheStore_data()
{
    QTest::addColumn<QStringList>("values"); // name=text, name=#number
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("expected"); // stdout line, or a word of stderr

    const QDateTime friday(QDate(2000, 3, 17), QTime(17, 0, 0));
    QTest::newRow("daily") << QStringList{"Run=#2", "Daily=18:00:00"} << friday << 0
                           << "17-03-2000 18:00:00";
    QTest::newRow("nothing stored: every 30 minutes")
        << QStringList{} << QDateTime(QDate(2000, 3, 17), QTime(10, 0, 30)) << 0
        << "17-03-2000 10:30:00";
    QTest::newRow("hourly at 23 with an earlier minute")
        << QStringList{"Run=#1", "Hourly=10"} << QDateTime(QDate(2000, 3, 17), QTime(23, 40)) << 0
        << "18-03-2000 00:10:00";
    QTest::newRow("weekly, stored time as it was saved")
        << QStringList{"Run=#3", "Weekly=6:30", "cbWeekly_ItemIndex=#1"} << friday << 0
        << "20-03-2000 06:30:00";
    QTest::newRow("scheduling off")
        << QStringList{"ScheduleScans=#0"} << friday << 1 << "scheduling is off";
    QTest::newRow("day of the month no number")
        << QStringList{"Run=#4", "Monthly_Day=x"} << friday << 1 << "day of the month";
    QTest::newRow("time that does not parse")
        << QStringList{"Run=#2", "Daily=half past six"} << friday << 1 << "daily";
    QTest::newRow("kind stored as text") << QStringList{"Run=2"} << friday << 1 << "Run";
}

void TestScheduleCommand::nextFromTheStore()
{
    QFETCH(QStringList, values);
    QFETCH(QDateTime, now);
    QFETCH(int, exitCode);
    QFETCH(QString, expected);
    {
        TRegIniFile ini(QString::fromLatin1(kSettingsRoot));
        ini.DropSection(kSchedule);
        for (const QString &value : values) {
            const QString name = value.section(QLatin1Char('='), 0, 0);
            const QString text = value.section(QLatin1Char('='), 1);
            if (text.startsWith(QLatin1Char('#')))
                ini.WriteNumber(kSchedule, name, text.mid(1).toInt());
            else
                ini.WriteText(kSchedule, name, text);
        }
    }
    setChildClock(now);

    const CliResult plain = runCli(QStringList{"schedule", "next"});
    QCOMPARE(plain.exitCode, exitCode);
    if (exitCode != 0) {
        QVERIFY(plain.out.isEmpty());
        QCOMPARE(plain.err.count('\n'), 1);
        QVERIFY2(plain.err.contains(expected.toUtf8()), plain.err.constData());
        return;
    }
    QCOMPARE(plain.out, expected.toUtf8() + '\n');

    const CliResult json = runCli(QStringList{"schedule", "next", "--json"});
    QCOMPARE(json.exitCode, 0);
    const QJsonObject object = QJsonDocument::fromJson(json.out).object();
    const QDateTime due = QDateTime::fromString(expected, QStringLiteral("dd-MM-yyyy hh:mm:ss"));
    QCOMPARE(object.value("date").toString(), due.date().toString(Qt::ISODate));
    QCOMPARE(object.value("time").toString(), expected.mid(11));
    QCOMPARE(object.value("iso").toString(), due.toString(Qt::ISODate));
}

void TestScheduleCommand::usage()
{
    for (const QStringList &args : {QStringList{"schedule"}, QStringList{"schedule", "last"},
                                    QStringList{"schedule", "next", "--xml"}}) {
        const CliResult result = runCli(args);
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.err.contains("usage:"));
    }
}

CLARIVEX_TEST_MAIN_CORE(TestScheduleCommand)
#include "tst_schedule_command.moc"
