#include "core/shell/custom_registry.h"
#include "support/cli_runner.h"
#include "support/test_main.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

using namespace clarivex;
using namespace clarivex::test;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString dataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

void trashed(const QString &name, int daysAgo)
{
    writeFile(dataHome() + QStringLiteral("/Trash/files/") + name, "t");
    writeFile(dataHome() + QStringLiteral("/Trash/info/") + name + QStringLiteral(".trashinfo"),
              "[Trash Info]\nPath=/somewhere/" + name.toUtf8() + "\nDeletionDate=" +
                  QDateTime::currentDateTime().addDays(-daysAgo).toString(Qt::ISODate).toLatin1() +
                  "\n");
}

} // namespace

class TestRulesCommand : public QObject
{
    Q_OBJECT
private slots:
    void checkAndList()
    {
        const QString userRules =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/clarivex/rules");
        writeFile(userRules + QStringLiteral("/mine.rules"),
                  "[Application]\nName=Mine\n[Rule mine]\nDescription=My junk\nRisk=safe\n"
                  "Below=home\nFolders=junk\n");
        writeFile(userRules + QStringLiteral("/broken.rules"),
                  "[Application]\nName=Bad\n[Rule bad]\nDescription=x\nRisk=safe\n"
                  "Below=home\nFolders=../../etc\n");

        CliResult check = runCli(QStringList{QStringLiteral("rules"), QStringLiteral("check"),
                                             userRules + QStringLiteral("/broken.rules")});
        QCOMPARE(check.exitCode, 1);
        QVERIFY2(check.err.contains("rule bad") && check.err.contains("\"..\""), check.err);
        check = runCli(QStringList{QStringLiteral("rules"), QStringLiteral("check"),
                                   userRules + QStringLiteral("/mine.rules")});
        QCOMPARE(check.exitCode, 0);
        QCOMPARE(check.out, QByteArray("ok\tmine\n"));

        const CliResult list =
            runCli(QStringList{QStringLiteral("rules"), QStringLiteral("list"),
                               QStringLiteral("--json")});
        QCOMPARE(list.exitCode, 0);
        QVERIFY2(list.err.contains("broken.rules"), list.err);
        QStringList ids;
        for (const QByteArray &line : list.out.split('\n')) {
            if (!line.isEmpty())
                ids << QJsonDocument::fromJson(line).object().value(QStringLiteral("id")).toString();
        }
        QVERIFY(ids.contains(QStringLiteral("mine")));
        QVERIFY(ids.contains(QStringLiteral("firefox-cache")));
        QVERIFY(!ids.contains(QStringLiteral("bad")));
        QCOMPARE(runCli(QStringList{QStringLiteral("rules")}).exitCode, 2);
    }

    // Old Trash items go with their records, whatever the clean mode; what
    // the rule did not find stays, and a backup found by another rule goes
    // to the Trash as usual.
    void scanDirsCleansWithTheChosenRules()
    {
        trashed(QStringLiteral("old.txt"), 40);
        trashed(QStringLiteral("new.txt"), 2);
        writeFile(QDir::homePath() + QStringLiteral("/notes.txt~"), "backup");
        writeFile(QDir::homePath() + QStringLiteral("/notes.txt"), "keep");

        CliResult scan = runCli(QStringList{QStringLiteral("scan"), QStringLiteral("dirs"),
                                            QStringLiteral("--rules"),
                                            QStringLiteral("trash-old,editor-backups")});
        QCOMPARE(scan.exitCode, 0);
        QVERIFY2(scan.out.contains("old.txt\t") && scan.out.contains("\ttrash-old\n"), scan.out);
        QVERIFY2(scan.out.contains("notes.txt~\t") && scan.out.contains("\teditor-backups\n"),
                 scan.out);
        QVERIFY(!scan.out.contains("new.txt"));
        QCOMPARE(runCli(QStringList{QStringLiteral("scan"), QStringLiteral("dirs"),
                                    QStringLiteral("--rules"), QStringLiteral("nope")})
                     .exitCode,
                 1);

        scan = runCli(QStringList{QStringLiteral("scan"), QStringLiteral("dirs"),
                                  QStringLiteral("--rules=trash-old,editor-backups"),
                                  QStringLiteral("--clean")});
        QCOMPARE(scan.exitCode, 0);
        const QString trash = dataHome() + QStringLiteral("/Trash");
        QVERIFY(!QFileInfo::exists(trash + QStringLiteral("/files/old.txt")));
        QVERIFY(!QFileInfo::exists(trash + QStringLiteral("/info/old.txt.trashinfo")));
        QVERIFY(QFileInfo::exists(trash + QStringLiteral("/files/new.txt")));
        QVERIFY(QFileInfo::exists(trash + QStringLiteral("/info/new.txt.trashinfo")));
        QVERIFY(QFileInfo::exists(trash + QStringLiteral("/files/notes.txt~")));
        QVERIFY(QFileInfo::exists(trash + QStringLiteral("/info/notes.txt~.trashinfo")));
        QVERIFY(QFileInfo::exists(QDir::homePath() + QStringLiteral("/notes.txt")));
        // The backup now in the Trash is not found again by its rule.
        scan = runCli(QStringList{QStringLiteral("scan"), QStringLiteral("dirs"),
                                  QStringLiteral("--rules"), QStringLiteral("editor-backups")});
        QVERIFY2(!scan.out.contains("notes.txt~"), scan.out);
    }

    void storedChoicesAreUsed()
    {
        writeFile(QDir::homePath() + QStringLiteral("/stored.c~"), "b");
        CliResult scan = runCli(QStringList{QStringLiteral("scan"), QStringLiteral("dirs")});
        QVERIFY(!scan.out.contains("stored.c~"));
        {
            TRegIniFile ini(QStringLiteral("\\Software\\Marlowtek\\Clarivex 2000\\"));
            ini.WriteText(QStringLiteral("Settings\\Clean Directories"), QStringLiteral("AppRules"),
                          QStringLiteral("editor-backups"));
        }
        scan = runCli(QStringList{QStringLiteral("scan"), QStringLiteral("dirs")});
        QVERIFY2(scan.out.contains("stored.c~"), scan.out);
    }
};

CLARIVEX_TEST_MAIN_CORE(TestRulesCommand)
#include "tst_rules_command.moc"
