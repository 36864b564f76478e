#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "support/test_main.h"

using namespace clarivex;

namespace {
const QString kBase = QStringLiteral("Software\\Marlowtek\\Clarivex 2000");

QString messageOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const ERegistryException &e) {
        return e.message();
    }
    return QString();
}
} // namespace

class TestCustomRegistry : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void flagsAreMinusOneAndAnyNonZeroIsTrue();
    void readRulesAndDefaults();
    void wrongTypesAndSizesRaise_data();
    void wrongTypesAndSizesRaise();
    void textsKeepUpToTheFirstNul();
    void largeText();
    void sectionsAreCreatedOnWriteOnly();
    void pathRules();
    void namesIgnoreCaseAndOrder();
    void dropRemovesWholeSubtree();
    void sectionPairs();
    void hivesAreSeparate();
};

void TestCustomRegistry::init()
{
    // Every test starts from an empty store.
    RegistryDatabase::closeInstance();
    QFile::remove(RegistryDatabase::defaultPath());
    QFile::remove(RegistryDatabase::defaultPath() + "-wal");
    QFile::remove(RegistryDatabase::defaultPath() + "-shm");
}

void TestCustomRegistry::flagsAreMinusOneAndAnyNonZeroIsTrue()
{
    TRegIniFile ini(kBase);
    ini.WriteFlag("Settings", "On", true);
    ini.WriteFlag("Settings", "Off", false);
    QCOMPARE(ini.ReadNumber("Settings", "On", 7), -1);
    QCOMPARE(ini.ReadNumber("Settings", "Off", 7), 0);
    for (qint32 n : {1, 2, -1}) {
        ini.WriteNumber("Settings", "N", n);
        QVERIFY(ini.ReadFlag("Settings", "N", false));
    }
    ini.WriteNumber("Settings", "N", 0);
    QVERIFY(!ini.ReadFlag("Settings", "N", true));
    QVERIFY(ini.ReadFlag("Settings", "Missing", true));
    QVERIFY(!ini.ReadFlag("Settings", "Missing", false));
    QVERIFY(ini.ReadFlag("No Such Section", "Missing", true));
}

void TestCustomRegistry::readRulesAndDefaults()
{
    TRegIniFile ini(kBase);
    ini.WriteText("S", "Empty", QString());
    QCOMPARE(ini.ReadText("S", "Empty", "default"), QString());
    QCOMPARE(ini.ReadText("S", "Missing", "default"), QStringLiteral("default"));
    QCOMPARE(ini.ReadNumber("S", "Missing", 42), 42);
    QCOMPARE(ini.ReadStamp("S", "Missing", 1.5), 1.5);

    // A value with no data at all reads as the empty text through both classes.
    QVERIFY(ini.OpenPath("S", false));
    ini.WriteRaw("Nothing", REG_SZ, QByteArray());
    QCOMPARE(ini.ReadText("Nothing"), QString());
    ini.WriteRaw("Expand", REG_EXPAND_SZ, QByteArray("%HOME%\0", 7));
    QCOMPARE(ini.ReadText("Expand"), QStringLiteral("%HOME%"));
    QCOMPARE(ini.ReadText("Missing"), QString());
    QCOMPARE(messageOf([&] { (void)ini.ReadNumber("Missing"); }),
             QStringLiteral("Failed to get data for 'Missing'"));
    QCOMPARE(messageOf([&] { (void)ini.ReadStamp("Missing"); }),
             QStringLiteral("Failed to get data for 'Missing'"));

    ini.WriteStamp("When", 46363.4375);
    QCOMPARE(ini.ReadStamp("When"), 46363.4375);
    QCOMPARE(ini.ReadRaw("When")->data.size(), 8);
    ini.WriteNumber("Num", -123456);
    QCOMPARE(ini.ReadRaw("Num")->data, QByteArray("\xc0\x1d\xfe\xff", 4));
}

void TestCustomRegistry::wrongTypesAndSizesRaise_data()
{
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("readAs");
    QTest::addColumn<QString>("message");
    const QString invalid = QStringLiteral("Invalid data type for 'V'");
    const QString failed = QStringLiteral("Failed to get data for 'V'");
    QTest::newRow("number from text 5")
        << quint32(REG_SZ) << QByteArray("5\0", 2) << "number" << invalid;
    QTest::newRow("text from number")
        << quint32(REG_DWORD) << QByteArray(4, 0) << "text" << invalid;
    QTest::newRow("stamp of 4 bytes")
        << quint32(REG_BINARY) << QByteArray(4, 1) << "stamp" << invalid;
    QTest::newRow("stamp of 9 bytes")
        << quint32(REG_BINARY) << QByteArray(9, 1) << "stamp" << failed;
    QTest::newRow("stamp from number")
        << quint32(REG_DWORD) << QByteArray(4, 1) << "stamp" << invalid;
    QTest::newRow("number of 8 bytes")
        << quint32(REG_DWORD) << QByteArray(8, 1) << "number" << failed;
    QTest::newRow("number from binary")
        << quint32(REG_BINARY) << QByteArray(4, 1) << "number" << invalid;
}

void TestCustomRegistry::wrongTypesAndSizesRaise()
{
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, readAs);
    QFETCH(QString, message);
    TRegIniFile ini(kBase);
    ini.WriteRaw("V", type, data);
    const auto read = [&] {
        if (readAs == "number")
            (void)ini.ReadNumber(QString(), "V", 0);
        else if (readAs == "text")
            (void)ini.ReadText(QString(), "V", QString());
        else
            (void)ini.ReadStamp(QString(), "V", 0);
    };
    QCOMPARE(messageOf(read), message);
    // ReadFlag goes through the number read and raises alike.
    if (readAs == "number")
        QCOMPARE(messageOf([&] { (void)ini.ReadFlag(QString(), "V", true); }), message);
}

void TestCustomRegistry::textsKeepUpToTheFirstNul()
{
    TRegIniFile ini(kBase);
    ini.WriteText(QString(), "T", QStringLiteral("ab") + QChar(0) + QStringLiteral("cd"));
    QCOMPARE(ini.ReadText(QString(), "T", "x"), QStringLiteral("ab"));
    ini.WriteRaw("Unterminated", REG_SZ, QByteArray("abc"));
    QCOMPARE(ini.ReadText("Unterminated"), QStringLiteral("abc"));
    ini.WriteText(QString(), "Unicode", QStringLiteral("Größe ✓"));
    QCOMPARE(ini.ReadText(QString(), "Unicode", QString()), QStringLiteral("Größe ✓"));
    QCOMPARE(ini.ReadRaw("Unicode")->data, QStringLiteral("Größe ✓").toUtf8() + QByteArray(1, 0));
}

void TestCustomRegistry::largeText()
{
    TRegIniFile ini(kBase);
    QString big(1 << 20, QLatin1Char('x'));
    big[12345] = QLatin1Char('y');
    ini.WriteText("Big", "Text", big);
    RegistryDatabase::closeInstance(); // read back through a fresh connection
    TRegIniFile again(kBase);
    QCOMPARE(again.ReadText("Big", "Text", QString()), big);
}

void TestCustomRegistry::sectionsAreCreatedOnWriteOnly()
{
    TRegIniFile ini(kBase);
    QCOMPARE(ini.ReadText("Missing\\Deep", "V", "d"), QStringLiteral("d"));
    QVERIFY(!ini.KeyExists("Missing"));
    QStringList list{"keep"};
    ini.ListValueNames("Missing", list);
    QCOMPARE(list, QStringList{"keep"});

    ini.WriteText("New\\Section", "V", "t");
    QVERIFY(ini.KeyExists("New\\Section"));
    ini.ListValueNames("New\\Section", list);
    QCOMPARE(list, QStringList{"V"});
    // The current key is left as it was.
    QCOMPARE(ini.CurrentPath(), kBase);
}

void TestCustomRegistry::pathRules()
{
    TRegistry reg;
    QVERIFY(!reg.OpenPath("A\\B", false));
    QVERIFY(!reg.HasCurrentKey());
    QVERIFY(reg.OpenPath("A\\B", true)); // relative without a current key: from the root
    QCOMPARE(reg.CurrentPath(), QStringLiteral("A\\B"));
    QVERIFY(reg.OpenPath("C", true)); // relative to the current key
    QCOMPARE(reg.CurrentPath(), QStringLiteral("A\\B\\C"));
    reg.WriteText("Where", "abc");
    QVERIFY(reg.OpenPath("\\A", false)); // absolute
    QCOMPARE(reg.CurrentPath(), QStringLiteral("A"));
    QVERIFY(reg.OpenPath("B\\C", false));
    QCOMPARE(reg.ReadText("Where"), QStringLiteral("abc"));
    QVERIFY(!reg.OpenPath("Nope", false)); // a failed open changes nothing
    QCOMPARE(reg.CurrentPath(), QStringLiteral("A\\B\\C"));
    QCOMPARE(reg.ReadText("Where"), QStringLiteral("abc"));

    TRegIniFile ini("\\A\\B");
    QCOMPARE(ini.ReadText("C", "Where", QString()), QStringLiteral("abc"));
    QCOMPARE(ini.ReadText("\\A\\B\\C", "Where", QString()), QStringLiteral("abc"));

    reg.ClosePath();
    QCOMPARE(messageOf([&] { reg.WriteText("X", "y"); }),
             QStringLiteral("Failed to set data for 'X'"));
    QVERIFY(!reg.HasValue("Where"));
}

void TestCustomRegistry::namesIgnoreCaseAndOrder()
{
    TRegIniFile ini(kBase);
    ini.WriteText("Groups", "zeta", "1");
    ini.WriteText("Groups", "Alpha", "2");
    ini.WriteText("Groups", "mid", "3");
    ini.WriteText("GROUPS", "ZETA", "4"); // same section, same value: keeps its place
    QStringList names;
    ini.ListValueNames("groups", names);
    QCOMPARE(names, (QStringList{"zeta", "Alpha", "mid"}));
    QCOMPARE(ini.ReadText("Groups", "Zeta", QString()), QStringLiteral("4"));

    for (const char *name : {"b", "C", "a"})
        ini.WriteText(QStringLiteral("Keys\\") + name, "v", "x");
    QVERIFY(ini.OpenPath("Keys", false));
    ini.ListSubkeyNames(names);
    QCOMPARE(names, (QStringList{"a", "b", "C"}));
    QVERIFY(ini.OpenPath("\\" + kBase + "\\KEYS\\B", false));
}

void TestCustomRegistry::dropRemovesWholeSubtree()
{
    TRegIniFile ini(kBase);
    for (const char *path : {"Tree\\One", "Tree\\Two\\Deep\\Deeper", "Tree\\Three"})
        ini.WriteText(path, "v", "x");
    ini.WriteText("Tree", "own", "x");
    ini.DropSection("Tree");
    QVERIFY(!ini.KeyExists("Tree"));
    QVERIFY(!ini.KeyExists("Tree\\Two\\Deep"));
    QCOMPARE(ini.ReadText("Tree\\Two\\Deep\\Deeper", "v", "gone"), QStringLiteral("gone"));

    for (const char *path : {"Tree\\One", "Tree\\Two\\Deep"})
        ini.WriteText(path, "v", "x");
    TRegistry reg;
    QVERIFY(reg.DropKey("\\" + kBase + "\\Tree"));
    QVERIFY(!reg.DropKey("\\" + kBase + "\\Tree"));
    QVERIFY(!reg.DropKey("\\")); // a hive stays

    QVERIFY(reg.OpenPath("\\" + kBase, false));
    reg.WriteText("V", "x");
    QVERIFY(reg.DropValue("v"));
    QVERIFY(!reg.DropValue("v"));
}

void TestCustomRegistry::sectionPairs()
{
    TRegIniFile ini(kBase);
    ini.WriteText("Pairs", "a", "1");
    ini.WriteText("Pairs", "b", "");
    ini.WriteText("Pairs", "c", "3");
    QStringList list{"A=old", "b=old", "plain line", "z=9"};
    ini.ReadSectionPairs("Pairs", list);
    QCOMPARE(list, (QStringList{"a=1", "plain line", "z=9", "c=3"}));
    QStringList untouched{"x=1"};
    ini.ReadSectionPairs("Missing", untouched);
    QCOMPARE(untouched, QStringList{"x=1"});
}

void TestCustomRegistry::hivesAreSeparate()
{
    TRegIniFile user(kBase);
    TRegIniFile machine(kBase, RegistryHive::LocalMachine);
    user.WriteText(QString(), "V", "user");
    machine.WriteText(QString(), "V", "machine");
    QCOMPARE(user.ReadText(QString(), "V", QString()), QStringLiteral("user"));
    QCOMPARE(machine.ReadText(QString(), "V", QString()), QStringLiteral("machine"));
    user.SetRoot(RegistryHive::LocalMachine); // switching closes the current key
    QVERIFY(!user.HasCurrentKey());
}

CLARIVEX_TEST_MAIN_CORE(TestCustomRegistry)
#include "tst_custom_registry.moc"
