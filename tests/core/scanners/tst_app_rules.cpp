#include "core/scanners/app_rule.h"
#include "core/scanners/app_rule_catalogue.h"
#include "core/scanners/app_rule_scan.h"
#include "support/finder_fixture.h"
#include "support/test_main.h"
#include "support/wait_limits.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

using namespace clarivex;
using namespace clarivex::test;

namespace {

const QByteArray kHeader = "[Application]\nName=Test\n\n";

QByteArray rule(const QByteArray &id, const QByteArray &body)
{
    return kHeader + "[Rule " + id + "]\nDescription=d\nRisk=safe\n" + body;
}

QString shippedRules()
{
    return QFileInfo(QStringLiteral(CLARIVEX_CLI_PATH)).absolutePath() + QStringLiteral("/rules");
}

// A fake home: $HOME, with its cache and data folders below it.
struct FakeHome : FinderTree
{
    AppRuleBases bases() const
    {
        return {root(), root() + "/.cache", root() + "/.local/share"};
    }
    void old(const QByteArray &relative, int days, const QByteArray &content = "x")
    {
        file(relative, content);
        setModified(relative, QDateTime::currentDateTime().addDays(-days));
    }
};

QList<QByteArray> scan(const FakeHome &home, const QList<AppRule> &rules, bool root = false,
                       QList<AppRuleSkip> *skipped = nullptr,
                       const QByteArray &systemRoot = "/nonexistent")
{
    AppRuleScan scan;
    scan.bases = home.bases();
    scan.root = root;
    scan.systemRoot = systemRoot;
    scan.excludedFolders = {home.path(".local/share/Trash")};
    QList<QByteArray> found;
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, int rule, qint64 &size) {
        found << rules[rule].id.toUtf8() + ':' + folder.mid(home.root().size() + 1) + data.name;
        size = data.size;
        return true;
    };
    scan.run(rules);
    if (skipped) *skipped = scan.skipped;
    std::sort(found.begin(), found.end());
    return found;
}

QList<AppRule> parsed(const QByteArray &text)
{
    QList<AppRule> rules;
    QString error;
    if (!parseAppRules(text, QStringLiteral("test.rules"), rules, error))
        qWarning() << "rule text refused:" << error;
    return rules;
}

} // namespace

class TestAppRules : public QObject
{
    Q_OBJECT
private slots:
    void validation_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error"); // empty: valid
        const QByteArray ok = "Below=cache\nFolders=app/cache\n";
        QTest::newRow("valid") << rule("a-1", ok) << QString();
        QTest::newRow("home itself") << rule("a", "Below=home\nFolders=.\n") << QString();
        QTest::newRow("climbs out") << rule("a", "Below=cache\nFolders=app/../../etc\n")
                                    << QStringLiteral("\"..\"");
        QTest::newRow("absolute below home")
            << rule("a", "Below=home\nFolders=/etc\n") << QStringLiteral("relative");
        QTest::newRow("system without RootOnly")
            << rule("a", "Below=system\nFolders=/var/cache\n") << QStringLiteral("RootOnly");
        QTest::newRow("part of a name as star")
            << rule("a", "Below=cache\nFolders=app*/x\n") << QStringLiteral("whole folder");
        QTest::newRow("unknown key") << rule("a", ok + "Recurse=yes\n")
                                     << QStringLiteral("unknown key Recurse");
        QTest::newRow("bad risk") << kHeader + "[Rule a]\nDescription=d\nRisk=low\n" + ok
                                  << QStringLiteral("Risk");
        QTest::newRow("no description") << kHeader + "[Rule a]\nRisk=safe\n" + ok
                                        << QStringLiteral("no Description");
        QTest::newRow("id twice") << rule("a", ok) + "[Rule a]\n" << QStringLiteral("twice");
        QTest::newRow("upper-case id") << rule("Abc", ok) << QStringLiteral("bad rule id");
        QTest::newRow("mask with a slash")
            << rule("a", ok + "Masks=../*\n") << QStringLiteral("Masks");
        QTest::newRow("huge mask") << rule("a", ok + "Masks=" + QByteArray(300, '*') + "\n")
                                   << QStringLiteral("Masks");
        QTest::newRow("too many masks")
            << rule("a", ok + "Masks=" + QByteArray("*.a;").repeated(65) + "\n")
            << QStringLiteral("Masks");
        QTest::newRow("marker climbs") << rule("a", ok + "Marker=../x\n")
                                       << QStringLiteral("Marker");
        QTest::newRow("trash below cache")
            << rule("a", ok + "Kind=trash\n") << QStringLiteral("Trash rule");
        QTest::newRow("no application") << QByteArray("[Rule a]\nDescription=d\n")
                                        << QStringLiteral("[Application]");
        QTest::newRow("not UTF-8") << rule("a", ok + "Description=\xff\n")
                                   << QStringLiteral("UTF-8");
        QTest::newRow("huge file") << rule("a", ok) + QByteArray(70000, '#')
                                   << QStringLiteral("64 KiB");
    }
    void validation()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QList<AppRule> rules;
        QString problem;
        const bool valid = parseAppRules(text, QStringLiteral("t.rules"), rules, problem);
        QCOMPARE(valid, error.isEmpty());
        if (!valid) {
            QVERIFY2(problem.contains(error), qPrintable(problem));
            QVERIFY(rules.isEmpty());
        }
    }

    void userFilesAreValidatedAndNamed()
    {
        QTemporaryDir user;
        QFile bad(user.filePath(QStringLiteral("bad.rules")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(rule("x", "Below=home\nFolders=../..\n"));
        bad.close();
        QFile taken(user.filePath(QStringLiteral("taken.rules")));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write(rule("thumbnails", "Below=home\nFolders=Pictures\n"));
        taken.close();
        const AppRuleCatalogue catalogue = AppRuleCatalogue::load({shippedRules(), user.path()});
        QVERIFY2(catalogue.rules.size() >= 15, "the installed rules are read");
        QCOMPARE(catalogue.problems.size(), 2);
        QVERIFY(catalogue.problems[0].contains(QStringLiteral("bad.rules")));
        QVERIFY(catalogue.problems[1].contains(QStringLiteral("already defined")));
        QCOMPARE(catalogue.rules[catalogue.indexOf(QStringLiteral("thumbnails"))].base,
                 AppRuleBase::Cache);
    }

    // Every shipped rule on one home that holds its junk beside what must stay.
    void shippedRulesTakeOnlyJunk()
    {
        FakeHome home;
        // Thumbnails: old ones go, new ones and a linked folder stay.
        home.old(".cache/thumbnails/normal/old.png", 40);
        home.old(".cache/thumbnails/large/new.png", 3);
        home.old("elsewhere/keep.png", 40);
        home.link(".cache/thumbnails/x-large", home.path("elsewhere"));
        // Firefox: the cache2 folder only; the profile's cookies stay.
        home.file(".cache/mozilla/firefox/p1.default/cache2/entries/ABC", "cached");
        home.file(".cache/mozilla/firefox/p1.default/startupCache/keep.bin");
        home.file(".mozilla/firefox/p1.default/cookies.sqlite");
        home.file(".cache/mozilla/firefox/nomarker/cache2/stray"); // no "entries": not proven
        // Chromium: Cache_Data with its index, not the profile.
        home.file(".cache/chromium/Default/Cache/Cache_Data/index");
        home.file(".cache/chromium/Default/Cache/Cache_Data/data_1");
        home.file(".config/chromium/Default/Cookies");
        // Package tools.
        home.file(".cache/pip/http-v2/a/b/c1");
        home.file(".npm/_cacache/content-v2/sha512/aa");
        home.file(".cargo/registry/cache/index.crates.io-1/serde-1.0.crate");
        home.file(".cargo/registry/src/index.crates.io-1/serde-1.0/lib.rs");
        home.file(".cache/go-build/00/x-d");
        // Editors: backups go; a fresh swap file and an open one stay.
        home.file("notes.txt~");
        home.file("src/#draft.c#");
        home.old("src/.old.c.swp", 3);
        home.old(".held.txt.swp", 3);
        home.file(".fresh.txt.swp");
        // Core dumps: by content only.
        QByteArray elfCore("\x7f" "ELF\x02\x01\x01", 7);
        elfCore += QByteArray(9, '\0') + QByteArray("\x04\x00", 2) + QByteArray(64, 'c');
        home.file("work/core", elfCore);
        home.file("work/core.py", "print()");
        home.file("lib/core", "not a dump");
        // The Trash: items older than 30 days, files only.
        const auto trashed = [&](const QByteArray &name, int days, bool folder = false) {
            if (folder)
                home.file(".local/share/Trash/files/" + name + "/inside.txt", "t");
            else
                home.file(".local/share/Trash/files/" + name, "t");
            home.file(".local/share/Trash/info/" + name + ".trashinfo",
                      "[Trash Info]\nPath=/x\nDeletionDate=" +
                          QDateTime::currentDateTime().addDays(-days).toString(Qt::ISODate)
                              .toLatin1() +
                          "\n");
        };
        trashed("ancient.txt", 45);
        trashed("recent.txt", 5);
        trashed("olddir", 45, true);
        home.file(".local/share/Trash/files/notes.txt~"); // in the Trash: not a backup again
        // The package manager's archives, below a fake system root.
        home.file("system/var/cache/apt/archives/pkg_1.0_amd64.deb");
        home.file("system/var/cache/apt/archives/lock");

        // A process holds the swap file open, as an editor does.
        QProcess editor;
        editor.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                            QStringLiteral("exec 3<\"$0\"; echo ready; exec sleep 30"),
                                            QString::fromUtf8(home.path(".held.txt.swp"))});
        QVERIFY(editor.waitForReadyRead(waitLimitMs()));

        const AppRuleCatalogue catalogue = AppRuleCatalogue::load({shippedRules()});
        QVERIFY(catalogue.problems.isEmpty());
        const QList<QByteArray> found =
            scan(home, catalogue.rules, true, nullptr, home.path("system"));
        editor.kill();
        editor.waitForFinished(waitLimitMs());
        const QList<QByteArray> expected{
            "apt-archives:system/var/cache/apt/archives/pkg_1.0_amd64.deb",
            "cargo-cache:.cargo/registry/cache/index.crates.io-1/serde-1.0.crate",
            "chromium-cache:.cache/chromium/Default/Cache/Cache_Data/data_1",
            "chromium-cache:.cache/chromium/Default/Cache/Cache_Data/index",
            "core-dumps:work/core",
            "editor-backups:notes.txt~",
            "editor-backups:src/#draft.c#",
            "editor-swap:src/.old.c.swp",
            "firefox-cache:.cache/mozilla/firefox/p1.default/cache2/entries/ABC",
            "go-build-cache:.cache/go-build/00/x-d",
            "npm-cache:.npm/_cacache/content-v2/sha512/aa",
            "pip-cache:.cache/pip/http-v2/a/b/c1",
            "thumbnails:.cache/thumbnails/normal/old.png",
            "trash-old:.local/share/Trash/files/ancient.txt",
        };
        QCOMPARE(found, expected);
    }

    void guardsHoldRulesBack()
    {
        FakeHome home;
        home.file(".cache/fake/cache/a");
        home.file(".cache/fake/cache/marker");
        // A program named as the rule's guard, as a browser would be.
        const QString program = QString::fromUtf8(home.path("fakebrowser"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
        QProcess browser;
        browser.start(program, {QStringLiteral("30")});
        QVERIFY(browser.waitForStarted(waitLimitMs()));
        const QList<AppRule> rules = parsed(
            rule("fake", "Below=cache\nFolders=fake/cache\nSkipWhileRunning=fakebrowser\n"));
        QVERIFY(!rules.isEmpty());
        QList<AppRuleSkip> skipped;
        QTRY_VERIFY_WITH_TIMEOUT(
            (scan(home, rules, false, &skipped).isEmpty() && !skipped.isEmpty()), waitLimitMs());
        QCOMPARE(skipped.first().reason, QStringLiteral("fakebrowser is running"));
        browser.kill();
        browser.waitForFinished(waitLimitMs());
        QTRY_COMPARE_WITH_TIMEOUT(scan(home, rules).size(), 2, waitLimitMs());

        // Root-only rules wait for root; a marker must be there when asked for.
        const QList<AppRule> rootRule =
            parsed(rule("r", "Below=cache\nFolders=fake/cache\nRootOnly=yes\n"));
        QCOMPARE(scan(home, rootRule, false, &skipped).size(), 0);
        QCOMPARE(skipped.first().reason, QStringLiteral("only for root"));
        QCOMPARE(scan(home, parsed(rule("m", "Below=cache\nFolders=fake/cache\nMarker=nope\n")))
                     .size(),
                 0);
    }

    // A hostile user rule cannot reach outside the home through links.
    void linksNeverLeadOut()
    {
        FakeHome home;
        FinderTree outside;
        outside.file("secret/file.txt");
        home.link(".cache/evil", outside.path("secret"));
        home.file(".cache/app/ok.txt");
        home.link(".cache/app/out.txt", outside.path("secret/file.txt"));
        home.link(".cache/app/sub", outside.path("secret"));
        const QList<AppRule> rules = parsed(
            rule("evil", "Below=cache\nFolders=evil;app;*\n"));
        QCOMPARE(scan(home, rules), (QList<QByteArray>{"evil:.cache/app/ok.txt"}));

        // A cache folder set outside the home is not walked.
        AppRuleScan away;
        away.bases = home.bases();
        away.bases.cache = outside.root();
        int listed = 0;
        away.addFile = [&](const QByteArray &, const TFindData &, int, qint64 &) {
            return ++listed > 0;
        };
        away.run(parsed(rule("away", "Below=cache\nFolders=secret\n")));
        QCOMPARE(listed, 0);
        QCOMPARE(away.skipped.size(), 1);
    }
};

CLARIVEX_TEST_MAIN_CORE(TestAppRules)
#include "tst_app_rules.moc"
