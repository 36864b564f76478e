#include "core/platform/autostart.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"
#include "core/shell/settings_catalogue.h"
#include "core/shell/settings_schedule.h"
#include "support/test_main.h"

#include <QDir>
#include <QFile>

using namespace clarivex;

namespace {

const QString kRoot = QString::fromLatin1(kSettingsRoot);

SettingsContext context()
{
    SettingsContext c;
    c.executablePath = QStringLiteral("/opt/Clarivex 2000/clarivex");
    c.screenSize = QSize(1024, 768);
    c.now = QDateTime(QDate(2026, 12, 7), QTime(14, 30, 15, 600)); // a Monday
    return c;
}

SettingsCatalogue loaded(const SettingsContext &c = context())
{
    SettingsCatalogue settings;
    LoadAllSettings(settings, c);
    return settings;
}

QString loadError(SettingsCatalogue &settings)
{
    try {
        LoadAllSettings(settings, context());
    } catch (const ERegistryException &e) {
        return e.message();
    }
    return QString();
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every value different from its default and from its built-in state.
SettingsCatalogue changedCatalogue()
{
    SettingsCatalogue s;
    s.window = {10, 20, 800, 640, 0, 1, QStringLiteral("Logs")};
    auto &o = s.options;
    o.StartInTray = o.RunAtStartup = o.AutoLoadScheduler = true;
    o.ConfirmDelete = false;
    o.DeleteType = 3;
    o.MoveFolderPath = QStringLiteral("/srv/moved/");
    o.ZipFileName = QStringLiteral("/srv/zips/");
    o.DefaultWAV = true;
    o.WAVFile = false;
    o.WAVFileName = QStringLiteral("/usr/share/sounds/ding.wav");
    o.LogEvents = false;
    auto &t = s.tempFiles;
    t.PlaySound = false;
    t.AutoClean = true;
    t.SelectedDrives = QByteArray("\xFE\xFF\xFF", 3);
    t.FilesGroup = {
        {QStringLiteral("Mine"), QStringLiteral("*.X;"), QStringLiteral("clRed"), false},
        {QStringLiteral("Yours; too"), QString(), QStringLiteral("clLime"), true}};
    t.FilesToSkip = {{QStringLiteral("proc"), true}, {QStringLiteral("sys"), false}};
    t.FileDate = t.Size = t.Max = t.Min = t.ScanForText = true;
    t.Between1 = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6));
    t.Between2 = QDateTime(QDate(2026, 1, 1), QTime(0, 0));
    t.Hidden = t.ReadOnly = t.System = false;
    t.TextToScanFor = QStringLiteral("needle");
    auto &d = s.duplicates;
    d.FloppyIsMaster = d.CheckFileTimeStamp = d.SkipSysBackup = false;
    d.SkipEmptyFiles = d.CheckFileName = d.CheckFileSize = d.PlaySound = false;
    d.UseHashCache = false;
    d.SelectedDrives = QByteArray("\xFF", 1);
    d.FilesToScan = {{QStringLiteral("*.dll"), true}};
    d.FilesToSkip = {{QStringLiteral("backup"), true}};
    d.ReferenceFolders = {{QStringLiteral("/srv/photos"), true},
                          {QStringLiteral("/mnt/old disk/b\u00e4ck"), false}};
    d.FileDate = d.Size = d.Max = d.Min = d.ScanForText = true;
    d.Hidden = d.ReadOnly = d.System = false;
    d.Between1 = QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59));
    d.Between2 = QDateTime(QDate(2000, 1, 1), QTime(12, 0));
    d.TextToScanFor = QStringLiteral("hay");
    s.deadShortcuts = {false, false, false};
    s.directories = {
        true, true, true,
        true, true, {{QStringLiteral("/var/tmp/"), true}, {QStringLiteral("/tmp/x/"), false}}};
    s.schedule = {false,
                  false,
                  false,
                  3,
                  7,
                  QStringLiteral("45"),
                  QTime(18, 0),
                  QTime(6, 30, 5),
                  5,
                  QTime(0, 0, 1),
                  QStringLiteral("28"),
                  true,
                  true};
    return s;
}

} // namespace

class TestSettingsCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void firstStartGivesDefaults();
    void windowIsCentredAndNeverOffScreen_data();
    void windowIsCentredAndNeverOffScreen();
    void roundTrip();
    void storedForms();
    void maximisedWindowKeepsNormalBounds();
    void listSectionsAreRewrittenFromScratch();
    void groupValues_data();
    void groupValues();
    void deleteTypeLowByte_data();
    void deleteTypeLowByte();
    void scheduleChoiceAndSlider();
    void driveMarks_data();
    void driveMarks();
    void storedDriveMarks_data();
    void storedDriveMarks();
    void startInTrayReadOnItsOwn();
    void wrongTypeStopsTheLoad_data();
    void wrongTypeStopsTheLoad();
    void badDatesAreSwallowed();
    void badScheduleTimeEndsOnlyItsGroup();
    void timeTexts_data();
    void timeTexts();
    void startupEntryFollowsTheOption();
    void startupEntryFailureStopsTheSave();
};

void TestSettingsCatalogue::init()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + QLatin1String(suffix));
    QFile::remove(platform::schedulerAutostartPath());
}

void TestSettingsCatalogue::firstStartGivesDefaults()
{
    const SettingsCatalogue s = loaded();
    // Nothing stored: the window is told it chooses its first size itself.
    QCOMPARE(s.window, (WindowSettings{212, 154, 600, 460, 0, 0, QString(), true}));

    GeneralOptions options;
    options.DefaultWAV = false;
    options.WAVFile = true;
    options.WAVFileName = QStringLiteral("Notify.wav");
    options.MoveFolderPath = options.ZipFileName = QDir::homePath() + "/Clarivex 2000 Backups/";
    QCOMPARE(s.options, options);

    QCOMPARE(s.tempFiles.FilesGroup.size(), 6);
    QCOMPARE(s.tempFiles.FilesGroup, factoryFileGroups());
    QCOMPARE(
        s.tempFiles.FilesGroup.at(5),
        (FileGroup{"System Log Files", "*.LOG.TXT;BOOTLOG.PRV;MODEMDET.TXT;SUHDLOG.DAT;SYSTEM.1ST;",
                   "clSilver", true}));
    const QList<CheckEntry> skip{{"windows", false}, {"utils", false}};
    QCOMPARE(s.tempFiles.FilesToSkip, skip);
    QCOMPARE(s.duplicates.FilesToSkip, skip);
    QCOMPARE(s.duplicates.FilesToScan, (QList<CheckEntry>{{"*.*", false}}));
    QCOMPARE(s.directories.Directories, factoryDirectories()); // offered, unchecked
    QVERIFY(s.tempFiles.SelectedDrives.isEmpty());
    QVERIFY(!s.tempFiles.Between1 && !s.duplicates.Between2);
    QVERIFY(s.tempFiles.Hidden && s.duplicates.CheckFileSize && s.duplicates.UseHashCache &&
            s.deadShortcuts.DeadShortcutsRecent);
    QVERIFY(!s.directories.TemporaryDir);

    const QTime now(14, 30, 15);
    QCOMPARE(s.schedule,
             (ScheduleSettings{true, true, true, 0, 15, "0", now, now, 1, now, "1", false, false}));

    TRegIniFile ini(kRoot);
    QCOMPARE(ini.ReadText(QString(), QStringLiteral("ClarivexPath"), QString()),
             context().executablePath);
    QVERIFY(!QFile::exists(platform::schedulerAutostartPath()));
}

void TestSettingsCatalogue::windowIsCentredAndNeverOffScreen_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::newRow("odd difference rounds toward zero") << QSize(1025, 769) << 212 << 154;
    QTest::newRow("screen smaller than the window") << QSize(500, 300) << 0 << 0;
    QTest::newRow("no screen") << QSize() << 0 << 0;
}

void TestSettingsCatalogue::windowIsCentredAndNeverOffScreen()
{
    QFETCH(QSize, screen);
    QFETCH(int, left);
    QFETCH(int, top);
    SettingsContext c = context();
    c.screenSize = screen;
    const SettingsCatalogue s = loaded(c);
    QCOMPARE(s.window.Left, left);
    QCOMPARE(s.window.Top, top);
}

void TestSettingsCatalogue::roundTrip()
{
    const SettingsCatalogue saved = changedCatalogue();
    SaveAllSettings(saved, context());
    RegistryDatabase::closeInstance(); // read back through a fresh connection
    SettingsContext later = context();
    later.now = QDateTime(QDate(2027, 5, 5), QTime(1, 2, 3));
    later.screenSize = QSize(3000, 2000);
    const SettingsCatalogue back = loaded(later);
    // Page by page first, so that a failure points at its page.
    QCOMPARE(back.window, saved.window);
    QCOMPARE(back.options, saved.options);
    QCOMPARE(back.tempFiles, saved.tempFiles);
    QCOMPARE(back.duplicates, saved.duplicates);
    QCOMPARE(back.deadShortcuts, saved.deadShortcuts);
    QCOMPARE(back.directories, saved.directories);
    QCOMPARE(back.schedule, saved.schedule);
    QCOMPARE(back, saved);
}

void TestSettingsCatalogue::storedForms()
{
    SaveAllSettings(changedCatalogue(), context());
    TRegIniFile ini(kRoot);
    const QString options = QStringLiteral("Settings\\Options");
    QCOMPARE(ini.ReadNumber(options, "StartInTray", 7), -1);
    QCOMPARE(ini.ReadNumber(options, "ConfirmDelete", 7), 0);
    QCOMPARE(ini.ReadNumber(options, "DeleteType", 7), 3);
    QCOMPARE(ini.ReadText("Settings\\Temporary Files\\Files Group", "Mine", ""), "0*.X;");
    QCOMPARE(ini.ReadText("Settings\\Temporary Files\\Files Group", "Yours; too", ""), "1");
    QCOMPARE(ini.ReadText("Settings\\Temporary Files\\Files Group\\Color", "Mine", ""), "clRed");
    QCOMPARE(ini.ReadText("Settings\\Temporary Files\\Files To Skip", "sys", ""), "0");
    QCOMPARE(ini.ReadText("Settings\\Clean DirectoriesDirectories", "/var/tmp/", ""), "1");
    QVERIFY(!ini.KeyExists("Settings\\Clean Directories\\Directories"));
    QCOMPARE(ini.ReadText("Settings\\Schedule", "Weekly", ""), "06:30:05");
    QCOMPARE(ini.ReadText("Settings\\Schedule", "Hourly", ""), "45");
    // One byte per mark, as 8-bit text.
    QCOMPARE(ini.ReadTextBytes("Settings\\Temporary Files", "SelectedDrives"),
             QByteArray("\xFE\xFF\xFF"));
    QStringList order;
    ini.ListValueNames("Settings\\Temporary Files\\Files Group", order);
    QCOMPARE(order, (QStringList{"Mine", "Yours; too"}));

    TRegistry registry;
    QVERIFY(registry.OpenPath(kRoot + "Settings\\Temporary Files", false));
    QCOMPARE(registry.ReadStamp("Between1"), 36925.0 + (4 * 3600 + 5 * 60 + 6) / 86400.0);
}

void TestSettingsCatalogue::maximisedWindowKeepsNormalBounds()
{
    SettingsCatalogue s;
    s.window = {30, 40, 700, 500, 0, 0, QString()};
    SaveAllSettings(s, context());
    s.window = {0, 0, 1024, 768, 2, 0, QString()};
    SaveAllSettings(s, context());
    QCOMPARE(loaded().window, (WindowSettings{30, 40, 700, 500, 2, 0, QString()}));

    s.window.WindowState = 1; // minimised: the bounds are written
    SaveAllSettings(s, context());
    QCOMPARE(loaded().window, (WindowSettings{0, 0, 1024, 768, 1, 0, QString()}));
}

void TestSettingsCatalogue::listSectionsAreRewrittenFromScratch()
{
    SettingsCatalogue s = loaded();
    s.tempFiles.FilesGroup.removeAt(1); // "Backup Files"
    s.duplicates.FilesToSkip.removeFirst();
    SaveAllSettings(s, context());
    SaveAllSettings(s, context());
    const SettingsCatalogue back = loaded();
    QCOMPARE(back.tempFiles.FilesGroup.size(), 5);
    QCOMPARE(back.tempFiles.FilesGroup, s.tempFiles.FilesGroup);
    QCOMPARE(back.duplicates.FilesToSkip, (QList<CheckEntry>{{"utils", false}}));
    TRegIniFile ini(kRoot);
    QStringList colours;
    ini.ListValueNames("Settings\\Temporary Files\\Files Group\\Color", colours);
    QVERIFY(!colours.contains("Backup Files"));
    QCOMPARE(colours.size(), 5);

    s.tempFiles.FilesGroup.clear(); // no groups left: a first start's groups come back
    SaveAllSettings(s, context());
    QCOMPARE(loaded().tempFiles.FilesGroup, factoryFileGroups());
}

void TestSettingsCatalogue::groupValues_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("withColour");
    QTest::addColumn<FileGroup>("group");
    QTest::newRow("unchecked, one mask")
        << "0*.BAK;" << true << FileGroup{"G", "*.BAK;", "clNavy", false};
    QTest::newRow("checked, no masks") << "1" << true << FileGroup{"G", "", "clNavy", true};
    QTest::newRow("empty text") << "" << true << FileGroup{"G", "", "clNavy", false};
    QTest::newRow("any other first character")
        << "x*.A" << true << FileGroup{"G", "*.A", "clNavy", false};
    QTest::newRow("no colour") << "1*.C" << false << FileGroup{"G", "*.C", "clBlack", true};
}

void TestSettingsCatalogue::groupValues()
{
    QFETCH(QString, stored);
    QFETCH(bool, withColour);
    QFETCH(FileGroup, group);
    TRegIniFile ini(kRoot);
    ini.WriteText("Settings\\Temporary Files\\Files Group", "G", stored);
    if (withColour) ini.WriteText("Settings\\Temporary Files\\Files Group\\Color", "G", "clNavy");
    QCOMPARE(loaded().tempFiles.FilesGroup, QList<FileGroup>{group});
}

void TestSettingsCatalogue::deleteTypeLowByte_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("mode");
    QTest::newRow("zip") << 3 << 3;
    QTest::newRow("high bytes ignored") << 0x102 << 2;
    QTest::newRow("no such mode") << 7 << 0;
    QTest::newRow("minus one") << -1 << 0;
}

void TestSettingsCatalogue::deleteTypeLowByte()
{
    QFETCH(int, stored);
    QFETCH(int, mode);
    TRegIniFile(kRoot).WriteNumber("Settings\\Options", "DeleteType", stored);
    QCOMPARE(int(loaded().options.DeleteType), mode);
}

void TestSettingsCatalogue::scheduleChoiceAndSlider()
{
    TRegIniFile ini(kRoot);
    ini.WriteNumber("Settings\\Schedule", "Run", 9);
    ini.WriteNumber("Settings\\Schedule", "TrackBarPosition", 99);
    SettingsCatalogue s;
    s.schedule.Run = 2; // the choice already made stays
    LoadAllSettings(s, context());
    QCOMPARE(s.schedule.Run, 2);
    QCOMPARE(s.schedule.TrackBarPosition, 30);
}

void TestSettingsCatalogue::driveMarks_data()
{
    QTest::addColumn<QByteArray>("marks");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<bool>>("checks");
    QTest::newRow("exact") << QByteArray("\xFF\xFE\xFF") << 3 << QList<bool>{true, false, true};
    QTest::newRow("shorter than the list")
        << QByteArray("\xFF") << 3 << QList<bool>{true, false, false};
    QTest::newRow("longer than the list")
        << QByteArray("\xFE\xFF\xFF") << 2 << QList<bool>{false, true};
    QTest::newRow("other bytes are unchecked")
        << QByteArray("\x01?") << 2 << QList<bool>{false, false};
    QTest::newRow("no rows") << QByteArray("\xFF") << 0 << QList<bool>{};
}

void TestSettingsCatalogue::driveMarks()
{
    QFETCH(QByteArray, marks);
    QFETCH(int, rows);
    QFETCH(QList<bool>, checks);
    QCOMPARE(driveChecks(marks, rows), checks);
    QCOMPARE(driveChecks(clarivex::driveMarks(checks), rows), checks);
}

void TestSettingsCatalogue::storedDriveMarks_data()
{
    // What the store holds (REG_SZ data up to its NUL) and the marks it loads as.
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("marks");
    QTest::newRow("one byte per mark") << QByteArray("\xFF\xFE\xFF") << QByteArray("\xFF\xFE\xFF");
    QTest::newRow("earlier versions: the characters in UTF-8")
        << QByteArray("\xC3\xBF\xC3\xBE\xC3\xBF") << QByteArray("\xFF\xFE\xFF");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestSettingsCatalogue::storedDriveMarks()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, marks);
    {
        TRegistry registry;
        QVERIFY(registry.OpenPath(kRoot + "Settings\\Duplicate Files", true));
        registry.WriteRaw("SelectedDrives", REG_SZ, stored + '\0');
    }
    SettingsCatalogue settings = loaded();
    QCOMPARE(settings.duplicates.SelectedDrives, marks);
    // Saved again, they take the one-byte form.
    SaveAllSettings(settings, context());
    TRegistry registry;
    QVERIFY(registry.OpenPath(kRoot + "Settings\\Duplicate Files", false));
    QCOMPARE(registry.ReadRaw("SelectedDrives")->data, marks + '\0');
}

void TestSettingsCatalogue::startInTrayReadOnItsOwn()
{
    {
        TRegIniFile ini(kRoot);
        ini.WriteFlag("Settings\\Options", "StartInTray", true);
        ini.WriteText("", "Left", "not a number"); // stops the load before the options
    }
    SettingsCatalogue settings;
    QVERIFY(!loadError(settings).isEmpty());
    QVERIFY(!settings.options.StartInTray);
    QVERIFY(ReadStartInTray());
    TRegIniFile(kRoot).WriteText("Settings\\Options", "StartInTray", "yes");
    QVERIFY(!ReadStartInTray()); // damaged itself: not in the tray
}

void TestSettingsCatalogue::wrongTypeStopsTheLoad_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("name");
    QTest::newRow("a Boolean holding text") << "Settings\\Options"
                                            << "ConfirmDelete";
    QTest::newRow("a group entry holding a number") << "Settings\\Temporary Files\\Files Group"
                                                    << "Mine";
    QTest::newRow("the slider holding text") << "Settings\\Schedule"
                                             << "TrackBarPosition";
    QTest::newRow("the last value") << "Settings\\Options"
                                    << "LogEvents";
}

void TestSettingsCatalogue::wrongTypeStopsTheLoad()
{
    QFETCH(QString, section);
    QFETCH(QString, name);
    const SettingsCatalogue saved = changedCatalogue();
    SaveAllSettings(saved, context());
    TRegIniFile ini(kRoot);
    if (section.endsWith("Group"))
        ini.WriteNumber(section, name, 1);
    else
        ini.WriteText(section, name, "5");

    SettingsCatalogue s;
    QCOMPARE(loadError(s), QStringLiteral("Invalid data type for '%1'").arg(name));
    const SettingsCatalogue builtIn;
    QCOMPARE(s.window, saved.window); // read before any of the bad values
    if (name == "ConfirmDelete") {
        QVERIFY(s.options.StartInTray && s.options.RunAtStartup); // before it
        QCOMPARE(s.options.DeleteType, builtIn.options.DeleteType);
        QCOMPARE(s.tempFiles, builtIn.tempFiles);
        QCOMPARE(s.schedule, builtIn.schedule);
    } else if (name == "Mine") {
        QCOMPARE(s.tempFiles.AutoClean, true);
        QVERIFY(s.tempFiles.FilesGroup.isEmpty()); // not even the good group
        QVERIFY(s.tempFiles.FilesToSkip.isEmpty());
        QCOMPARE(s.duplicates, builtIn.duplicates);
    } else if (name == "TrackBarPosition") {
        QCOMPARE(s.directories, saved.directories);
        QCOMPARE(s.schedule.Run, 3);
        QCOMPARE(s.schedule.TrackBarPosition, 15);
        QVERIFY(s.schedule.Daily.isNull());
        QCOMPARE(s.options.LogEvents, builtIn.options.LogEvents);
    } else {
        SettingsCatalogue expected = saved;
        expected.options.LogEvents = builtIn.options.LogEvents;
        QCOMPARE(s, expected);
    }
}

void TestSettingsCatalogue::badDatesAreSwallowed()
{
    SaveAllSettings(changedCatalogue(), context());
    TRegistry registry;
    QVERIFY(registry.OpenPath(kRoot + "Settings\\Temporary Files", false));
    registry.WriteText("Between1", "yesterday");
    QVERIFY(registry.OpenPath(kRoot + "Settings\\Duplicate Files", false));
    registry.WriteRaw("Between2", REG_BINARY, QByteArray(4, '\0'));

    SettingsCatalogue s;
    LoadAllSettings(s, context()); // no error
    QVERIFY(!s.tempFiles.Between1 && !s.tempFiles.Between2);
    QCOMPARE(s.duplicates.Between1, changedCatalogue().duplicates.Between1);
    QVERIFY(!s.duplicates.Between2);
    QCOMPARE(s.tempFiles.TextToScanFor, "needle"); // the load went on
}

void TestSettingsCatalogue::badScheduleTimeEndsOnlyItsGroup()
{
    SaveAllSettings(changedCatalogue(), context());
    TRegIniFile(kRoot).WriteText("Settings\\Schedule", "Weekly", "half past six");
    SettingsCatalogue s;
    LoadAllSettings(s, context());
    QCOMPARE(s.schedule.Hourly, "45");
    QCOMPARE(s.schedule.Daily, QTime(18, 0));
    QVERIFY(s.schedule.Weekly.isNull());
    QCOMPARE(s.schedule.cbWeekly_ItemIndex, -1);
    QVERIFY(s.schedule.Monthly.isNull());
    QCOMPARE(s.schedule.Monthly_Day, "1");
    QVERIFY(s.schedule.ScanAtStartUp && s.schedule.CleanOnClose); // after the group
    QVERIFY(!s.options.LogEvents);
}

void TestSettingsCatalogue::timeTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QTime>("time");
    QTest::newRow("long time") << "18:00:00" << QTime(18, 0);
    QTest::newRow("hour without zero") << "9:05:00" << QTime(9, 5);
    QTest::newRow("no seconds") << "00:00" << QTime(0, 0);
    QTest::newRow("with blanks") << " 07:08:09 " << QTime(7, 8, 9);
    QTest::newRow("hour 24") << "24:05:00" << QTime();
    QTest::newRow("words") << "noon" << QTime();
    QTest::newRow("empty") << "" << QTime();
}

void TestSettingsCatalogue::timeTexts()
{
    QFETCH(QString, text);
    QFETCH(QTime, time);
    QCOMPARE(parseTimeText(text), time);
}

void TestSettingsCatalogue::startupEntryFollowsTheOption()
{
    SettingsCatalogue s;
    s.options.RunAtStartup = true;
    SettingsContext c = context();
    c.executablePath = QStringLiteral("/opt/My $HOME \"100%\"/clarivex");
    SaveAllSettings(s, c);
    const QByteArray entry = fileContents(platform::schedulerAutostartPath());
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY2(entry.contains("\nExec=\"/opt/My \\\\$HOME \\\\\"100%%\\\\\"/clarivex-scheduler\"\n"),
             entry.constData());
    QVERIFY(entry.contains("\nType=Application\n"));

    s.options.RunAtStartup = false;
    SaveAllSettings(s, c);
    QVERIFY(!QFile::exists(platform::schedulerAutostartPath()));
    SaveAllSettings(s, c); // nothing to remove
}

void TestSettingsCatalogue::startupEntryFailureStopsTheSave()
{
    const QString folder = QFileInfo(platform::schedulerAutostartPath()).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();

    SettingsCatalogue s;
    s.options.RunAtStartup = true;
    s.schedule.CleanOnClose = true;
    s.directories.AutoClean = true;
    try {
        SaveAllSettings(s, context());
        QFAIL("no error raised");
    } catch (const ERegistryException &e) {
        QCOMPARE(e.message(), QStringLiteral("Failed to set data for 'Clarivex'"));
    }
    QFile::remove(folder);
    TRegIniFile ini(kRoot);
    QVERIFY(ini.ReadFlag("Settings\\Clean Directories", "AutoClean", false)); // before it
    QVERIFY(!ini.ReadFlag("Settings\\Schedule", "CleanOnClose", false));      // after it
}

CLARIVEX_TEST_MAIN_CORE(TestSettingsCatalogue)
#include "tst_settings_catalogue.moc"
