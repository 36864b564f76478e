#include "core/scanners/well_known_folders.h"
#include "core/shell/custom_registry.h"
#include "support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace clarivex;

namespace {

void writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

void storeText(RegistryHive hive, const QString &key, const QString &name, const QString &text)
{
    TRegistry registry;
    registry.SetRoot(hive);
    QVERIFY(registry.OpenPath(key, true));
    registry.WriteText(name, text);
}

const QString kBiff = QStringLiteral("\\Software\\Netscape\\Netscape Navigator\\biff");

} // namespace

// Each test gets a home of its own, with the cache and data folders inside it.
class TestWellKnownFolders : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void replaceAll_data();
    void replaceAll();
    void tempFolderFollowsTmpdir_data();
    void tempFolderFollowsTmpdir();
    void storedShellFolderWins();
    void recentAndFavoritesWithoutStore();
    void chromiumCacheFamilyOrder();
    void firefoxDefaultProfile_data();
    void firefoxDefaultProfile();
    void firefoxCacheFolder();
    void prefsJsString_data();
    void prefsJsString();
    void netscapeCacheOfProfile_data();
    void netscapeCacheOfProfile();
    void netscapeProfileFromPopstate();
    void netscapeProfileFromInstallFolder();
    void netscapeWinsOverFirefox();

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_saved[3];
    QString home() const { return m_home->path(); }
};

static const char *const kVariables[] = {"HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"};

void TestWellKnownFolders::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    for (int i = 0; i < 3; ++i)
        m_saved[i] = qgetenv(kVariables[i]);
    qputenv("HOME", QFile::encodeName(home()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home() + "/.cache"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home() + "/.local/share"));
}

void TestWellKnownFolders::cleanup()
{
    for (int i = 0; i < 3; ++i)
        qputenv(kVariables[i], m_saved[i]);
    TRegistry registry;
    (void)registry.DropKey(QStringLiteral("\\Software\\Netscape"));
    (void)registry.DropKey(QStringLiteral("\\Software\\Microsoft"));
    registry.SetRoot(RegistryHive::LocalMachine);
    (void)registry.DropKey(QStringLiteral("\\SOFTWARE\\Microsoft"));
}

void TestWellKnownFolders::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("doubled backslashes") << "C:\\\\NS\\\\Cache"
                                         << "\\\\"
                                         << "\\"
                                         << "C:\\NS\\Cache";
    QTest::newRow("new text holds the old") << "a.b.c"
                                            << "."
                                            << ".."
                                            << "a..b..c";
    QTest::newRow("overlapping") << "aaa"
                                 << "aa"
                                 << "b"
                                 << "ba";
    QTest::newRow("nothing to find") << "abc"
                                     << "x"
                                     << "y"
                                     << "abc";
    QTest::newRow("empty old text") << "abc"
                                    << ""
                                    << "y"
                                    << "abc";
}

void TestWellKnownFolders::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, expected);
    QCOMPARE(ReplaceAll(text, from, to), expected);
}

void TestWellKnownFolders::tempFolderFollowsTmpdir_data()
{
    QTest::addColumn<QByteArray>("tmpdir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("set") << QByteArray("/var/tmp/me") << "/var/tmp/me/";
    QTest::newRow("trailing slash kept single") << QByteArray("/scratch/") << "/scratch/";
    QTest::newRow("unset") << QByteArray() << "/tmp/";
}

void TestWellKnownFolders::tempFolderFollowsTmpdir()
{
    QFETCH(QByteArray, tmpdir);
    QFETCH(QString, expected);
    const QByteArray saved = qgetenv("TMPDIR");
    if (tmpdir.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmpdir);
    const QString folder = GetTempFolder();
    qputenv("TMPDIR", saved);
    QCOMPARE(folder, expected);
}

void TestWellKnownFolders::storedShellFolderWins()
{
    const QString key =
        QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    storeText(RegistryHive::CurrentUser, key, "RECENT", "/data/recent");
    storeText(RegistryHive::CurrentUser, key, "FAVORITES", "/data/favorites");
    QCOMPARE(GetShellFolder("RECENT"), QStringLiteral("/data/recent"));
    QCOMPARE(GetShellFolder("FAVORITES"), QStringLiteral("/data/favorites"));
    storeText(RegistryHive::LocalMachine,
              "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths",
              "Directory", "/data/iecache");
    QDir().mkpath(home() + "/.cache/chromium");
    QCOMPARE(GetIECacheFolder(), QStringLiteral("/data/iecache"));
}

void TestWellKnownFolders::recentAndFavoritesWithoutStore()
{
    QCOMPARE(GetShellFolder("RECENT"), home() + "/.local/share/RecentDocuments");
    QCOMPARE(GetShellFolder("FAVORITES"), QString()); // no browser
    writeFile(home() + "/.mozilla/firefox/profiles.ini",
              "[Profile0]\nName=default\nIsRelative=1\nPath=ab.default\nDefault=1\n");
    QDir().mkpath(home() + "/.mozilla/firefox/ab.default");
    QCOMPARE(GetShellFolder("FAVORITES"), QString()); // no bookmark backups yet
    QDir().mkpath(home() + "/.mozilla/firefox/ab.default/bookmarkbackups");
    QCOMPARE(GetShellFolder("FAVORITES"), home() + "/.mozilla/firefox/ab.default/bookmarkbackups");
    QCOMPARE(GetShellFolder("PERSONAL"), QString());
}

void TestWellKnownFolders::chromiumCacheFamilyOrder()
{
    QCOMPARE(GetIECacheFolder(), QString());
    writeFile(home() + "/.cache/google-chrome", "a file, not a folder");
    QCOMPARE(GetIECacheFolder(), QString());
    QDir().mkpath(home() + "/.cache/chromium");
    QCOMPARE(GetIECacheFolder(), home() + "/.cache/chromium");
    QDir().mkpath(home() + "/.cache/microsoft-edge");
    QCOMPARE(GetIECacheFolder(), home() + "/.cache/microsoft-edge");
}

void TestWellKnownFolders::firefoxDefaultProfile_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected"); // below the firefox folder, or absolute
    QTest::newRow("install section first")
        << QByteArray("[Profile0]\nPath=old.default\nIsRelative=1\nDefault=1\n"
                      "[Install4F96D1932A9F858E]\nDefault=new.default-release\nLocked=1\n")
        << "new.default-release";
    QTest::newRow("marked default") << QByteArray("[General]\nStartWithLastProfile=1\n"
                                                  "[Profile0]\nPath=first\nIsRelative=1\n"
                                                  "[Profile1]\nPath=second\nIsRelative=1\n"
                                                  "Default=1\n")
                                    << "second";
    QTest::newRow("first profile")
        << QByteArray("[Profile1]\nPath=one\n[Profile0]\nPath=two\n") << "one";
    QTest::newRow("absolute path")
        << QByteArray("[Profile0]\r\nIsRelative=0\r\nPath=/srv/ff/p1\r\nDefault=1\r\n")
        << "/srv/ff/p1";
    QTest::newRow("no profiles") << QByteArray("[General]\nVersion=2\n") << "";
}

void TestWellKnownFolders::firefoxDefaultProfile()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, expected);
    const QString folder = home() + "/.mozilla/firefox";
    QCOMPARE(wellknown::firefoxDefaultProfile(folder), QString()); // no profiles.ini
    writeFile(folder + "/profiles.ini", ini);
    if (!expected.isEmpty() && !expected.startsWith('/')) expected = folder + '/' + expected;
    QCOMPARE(wellknown::firefoxDefaultProfile(folder), expected);
}

void TestWellKnownFolders::firefoxCacheFolder()
{
    const QString profile = home() + "/.mozilla/firefox/xy.default-release";
    writeFile(home() + "/.mozilla/firefox/profiles.ini",
              "[Install1]\nDefault=xy.default-release\n");
    QDir().mkpath(profile);
    QCOMPARE(GetNetscapeCacheFolder(), QString()); // the cache does not exist yet
    // The profile's folder below the cache home holds more than the disk
    // cache: only its "cache2" is the cache.
    QDir().mkpath(home() + "/.cache/mozilla/firefox/xy.default-release/startupCache");
    QCOMPARE(GetNetscapeCacheFolder(), QString());
    QDir().mkpath(home() + "/.cache/mozilla/firefox/xy.default-release/cache2");
    QCOMPARE(GetNetscapeCacheFolder(),
             home() + "/.cache/mozilla/firefox/xy.default-release/cache2");
    // The preference names the folder the cache is kept in, never the cache:
    // the user's own files beside it are no junk.
    QDir().mkpath(home() + "/fast/ff cache/my-notes");
    writeFile(home() + "/fast/ff cache/thesis.odt", "mine");
    writeFile(profile + "/prefs.js", "// Mozilla User Preferences\n"
                                     "user_pref(\"browser.cache.disk.capacity\", 1024);\n"
                                     "user_pref(\"browser.cache.disk.parent_directory\", \"" +
                                         QFile::encodeName(home()) + "/fast/ff cache\");\n");
    QCOMPARE(GetNetscapeCacheFolder(), QString()); // no cache kept there yet
    QDir().mkpath(home() + "/fast/ff cache/cache2/entries");
    QCOMPARE(GetNetscapeCacheFolder(), home() + "/fast/ff cache/cache2");
}

void TestWellKnownFolders::prefsJsString_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("user_pref(\"k\", \"/a/b\");") << "/a/b";
    QTest::newRow("escapes") << QByteArray("user_pref(\"k\", \"C:\\\\x \\\"q\\\"\");")
                             << "C:\\x \"q\"";
    QTest::newRow("no blank after comma") << QByteArray("user_pref(\"k\",\"v\");") << "v";
    QTest::newRow("not a string") << QByteArray("user_pref(\"k\", 12);") << "";
    QTest::newRow("other key") << QByteArray("user_pref(\"kk\", \"v\");") << "";
    QTest::newRow("no closing quote") << QByteArray("user_pref(\"k\", \"v);") << "";
}

void TestWellKnownFolders::prefsJsString()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    const QString file = home() + "/prefs.js";
    writeFile(file, "user_pref(\"a\", true);\n" + line + "\n");
    QCOMPARE(wellknown::prefsJsString(file, "k"), expected);
}

void TestWellKnownFolders::netscapeCacheOfProfile_data()
{
    QTest::addColumn<QByteArray>("prefs"); // null: no prefs.js
    QTest::addColumn<QString>("expected"); // "<profile>" stands for the profile folder
    QTest::newRow("doubled backslashes")
        << QByteArray("user_pref(\"browser.startup.page\", 1);\r\n"
                      "user_pref(\"browser.cache.directory\", \"C:\\\\NS\\\\Cache\");\r\n"
                      "user_pref(\"browser.cache.directory\", \"later\");\r\n")
        << "C:\\NS\\Cache";
    QTest::newRow("without the cache line")
        << QByteArray("user_pref(\"browser.startup.page\", 1);\n") << "<profile>/Cache";
    QTest::newRow("empty value") << QByteArray("user_pref(\"browser.cache.directory\", \"\");\n")
                                 << "<profile>/Cache";
    QTest::newRow("no prefs.js") << QByteArray() << "";
}

void TestWellKnownFolders::netscapeCacheOfProfile()
{
    QFETCH(QByteArray, prefs);
    QFETCH(QString, expected);
    const QString profile = home() + "/Users/john";
    QDir().mkpath(profile);
    if (!prefs.isNull()) writeFile(profile + "/prefs.js", prefs);
    expected.replace("<profile>", profile);
    QCOMPARE(wellknown::netscapeCacheOfProfile(profile), expected);
}

void TestWellKnownFolders::netscapeProfileFromPopstate()
{
    QCOMPARE(wellknown::netscapeProfileFolder(), QString()); // nothing stored
    storeText(RegistryHive::CurrentUser, kBiff, "CurrentUser", "jd");
    storeText(RegistryHive::CurrentUser, kBiff + "\\users\\jd", "defaultServer", "pop.example");
    storeText(RegistryHive::CurrentUser, kBiff + "\\users\\jd\\servers\\pop.example",
              "popstatePath", "/opt/ns/Users/jd/mail/popstate.dat");
    QCOMPARE(wellknown::netscapeProfileFolder(), QStringLiteral("/opt/ns/Users/jd"));
    storeText(RegistryHive::CurrentUser, kBiff + "\\users\\jd\\servers\\pop.example",
              "popstatePath", "C:\\NS\\Users\\jd\\mail\\popstate.dat");
    QCOMPARE(wellknown::netscapeProfileFolder(), QStringLiteral("C:\\NS\\Users\\jd"));
}

void TestWellKnownFolders::netscapeProfileFromInstallFolder()
{
    storeText(RegistryHive::CurrentUser, kBiff, "CurrentUser", "john.doe smith");
    QCOMPARE(wellknown::netscapeProfileFolder(), QString()); // no install folder
    storeText(RegistryHive::CurrentUser, "\\Software\\Netscape\\Netscape Navigator\\Main",
              "Install Directory", "/opt/Netscape/Communicator/");
    QCOMPARE(wellknown::netscapeProfileFolder(),
             QStringLiteral("/opt/Netscape/Users/john_doe_smith"));
    storeText(RegistryHive::CurrentUser, "\\Software\\Netscape\\Netscape Navigator\\Main",
              "Install Directory", "/opt/Navigator/");
    QCOMPARE(wellknown::netscapeProfileFolder(), QString()); // no "Communicator" in it
}

void TestWellKnownFolders::netscapeWinsOverFirefox()
{
    const QString install = home() + "/ns/";
    storeText(RegistryHive::CurrentUser, kBiff, "CurrentUser", "me");
    storeText(RegistryHive::CurrentUser, "\\Software\\Netscape\\Netscape Navigator\\Main",
              "Install Directory", install + "Communicator/");
    writeFile(home() + "/.mozilla/firefox/profiles.ini", "[Profile0]\nPath=p\nDefault=1\n");
    QDir().mkpath(home() + "/.cache/mozilla/firefox/p/cache2");
    // A Netscape profile without prefs.js does not count: Firefox answers.
    QCOMPARE(GetNetscapeCacheFolder(), home() + "/.cache/mozilla/firefox/p/cache2");
    writeFile(install + "Users/me/prefs.js", "\n");
    QCOMPARE(GetNetscapeCacheFolder(), install + "Users/me/Cache");
}

CLARIVEX_TEST_MAIN_CORE(TestWellKnownFolders)
#include "tst_well_known_folders.moc"
