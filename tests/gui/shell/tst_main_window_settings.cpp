#include "core/base/drive_marks.h"
#include "core/platform/copy_data.h"
#include "core/shell/custom_registry.h"
#include "core/shell/event_log.h"
#include "core/shell/registry_database.h"
#include "gui/scanners/duplicate_files_page.h"
#include "gui/scanners/temp_files_page.h"
#include "gui/search/disk_list_view.h"
#include "gui/shell/logs_page.h"
#include "gui/shell/main_window.h"
#include "gui/shell/options_page.h"
#include "gui/toolkit/side_bar.h"
#include "support/scripted_notices.h"
#include "support/test_main.h"

#include <QCheckBox>
#include <QDir>

#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <csignal>
#include <sys/resource.h>

using namespace clarivex;
using clarivex::test::ScopedNotices;
using clarivex::test::ScriptedNotices;

namespace {
const QString kRoot = QStringLiteral("\\Software\\Marlowtek\\Clarivex 2000");

void emptyStore()
{
    RegistryDatabase::closeInstance();
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(RegistryDatabase::defaultPath() + suffix);
    QFile::remove(EventLog::defaultFilePath());
}
} // namespace

class TestMainWindowSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { emptyStore(); }
    void firstStartWithAnEmptyStore();
    void wrongTypedValueShowsTheErrorAndTheWindowOpens();
    void optionsRoundTrip();
    void soundChoiceLoadsAsClicked_data();
    void soundChoiceLoadsAsClicked();
    void placementRoundTrip_data();
    void placementRoundTrip();
    void aboutIsNotReopenedAtStart();
    void copyDataMessages();
    void startTimerArmedOnce_data();
    void startTimerArmedOnce();
    void logFailureAtStartSkipsTheRest();
    void damagedStoreIsToldOnce();
    void everyPageRoundTrips();
    void removedGroupIsGoneAfterSaving();
};

void TestMainWindowSettings::soundChoiceLoadsAsClicked_data()
{
    QTest::addColumn<bool>("defaultWav");
    QTest::addColumn<bool>("wavFile");
    QTest::addColumn<bool>("defaultChosen");
    QTest::addColumn<bool>("fileChosen");
    QTest::newRow("both false: neither") << false << false << false << false;
    QTest::newRow("default only") << true << false << true << false;
    QTest::newRow("file only") << false << true << false << true;
    QTest::newRow("both true: the later click wins") << true << true << false << true;
}

void TestMainWindowSettings::soundChoiceLoadsAsClicked()
{
    QFETCH(bool, defaultWav);
    QFETCH(bool, wavFile);
    QFETCH(bool, defaultChosen);
    QFETCH(bool, fileChosen);
    {
        TRegIniFile ini(kRoot);
        ini.WriteFlag("Settings\\Options", "DefaultWAV", defaultWav);
        ini.WriteFlag("Settings\\Options", "WAVFile", wavFile);
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    TOptionsPage *page = window.optionsPage();
    QCOMPARE(page->rbDefaultWAV->isChecked(), defaultChosen);
    QCOMPARE(page->rbWAVFile->isChecked(), fileChosen);
    QCOMPARE(page->txtWAVFileName->isEnabled(), fileChosen);
    // Saved as loaded.
    QVERIFY(window.SaveAllSettings());
    TRegIniFile ini(kRoot);
    QCOMPARE(ini.ReadFlag("Settings\\Options", "DefaultWAV", !defaultChosen), defaultChosen);
    QCOMPARE(ini.ReadFlag("Settings\\Options", "WAVFile", !fileChosen), fileChosen);
}

void TestMainWindowSettings::firstStartWithAnEmptyStore()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    QCOMPARE(notices->requests().size(), 0);
    TOptionsPage *page = window.optionsPage();
    QVERIFY(page->rbWAVFile->isChecked());
    QCOMPARE(page->txtWAVFileName->text(), QStringLiteral("Notify.wav"));
    QVERIFY(page->rbMoveFilesToRecycleBin->isChecked());
    QCOMPARE(page->txtMoveFolderPath->text(), defaultBackupFolder());
    QCOMPARE(page->txtZipFileName->text(), defaultBackupFolder());
    QVERIFY(page->cbConfirmDelete->isChecked());
    QCOMPARE(window.currentPage(), QStringLiteral("Options"));
    const SettingsCatalogue s = window.currentSettings();
    QCOMPARE(s.tempFiles.FilesGroup, factoryFileGroups());
    QCOMPARE(s.tempFiles.FilesToSkip, factoryFoldersToSkip());
    QCOMPARE(s.duplicates.FilesToSkip, factoryFoldersToSkip());
    QCOMPARE(s.duplicates.FilesToScan, (QList<CheckEntry>{{"*.*", false}}));
    // The home folder is the first drive of both lists and the one checked.
    const QByteArray home = QFile::encodeName(QDir::homePath());
    for (const TDiskListView *drives :
         {window.tempFilesPage()->DiskListViewTF, window.duplicatesPage()->DiskListViewDF}) {
        QCOMPARE(drives->topLevelItem(0)->text(0), "Home (" + QDir::homePath() + ")");
        QCOMPARE(drives->GetSelectedDrives(), QList<QByteArray>{home});
    }
    QCOMPARE(driveChecks(s.tempFiles.SelectedDrives, 2), (QList<bool>{true, false}));
    QCOMPARE(driveChecks(s.duplicates.SelectedDrives, 2), (QList<bool>{true, false}));
    const QSize screen = QGuiApplication::primaryScreen()->size();
    QCOMPARE(window.geometry().left(), std::max(0, (screen.width() - 600) / 2));
    // The log received its first event.
    const QList<LogEntry> log = window.eventLog().load();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log.first().event, QStringLiteral("Main Program Started"));
    QCOMPARE(window.logsPage()->rows(), log); // and on the "Logs" page
}

void TestMainWindowSettings::wrongTypedValueShowsTheErrorAndTheWindowOpens()
{
    {
        TRegIniFile ini(kRoot);
        ini.WriteText("Settings\\Options", "StartInTray", "yes");
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({QStringLiteral("/TIME_TO_RUN_SCHEDULED_EVENT")});
    QCOMPARE(notices->requests().size(), 1);
    const ScriptedNotices::Request &shown = notices->requests().first();
    QCOMPARE(shown.kind, ScriptedNotices::Kind::Dialog);
    QCOMPARE(shown.caption, QStringLiteral(" Clarivex 2000 3.5 - Error"));
    QCOMPARE(shown.text, QStringLiteral("Invalid data type for 'StartInTray'"));
    // The steps after loading were skipped: no log line, no start timer.
    QVERIFY(!window.Timer->isActive());
    QCOMPARE(window.eventLog().load().size(), 0);
}

void TestMainWindowSettings::optionsRoundTrip()
{
    ScopedNotices notices;
    {
        TClarivexMainForm window;
        window.createWindowSteps({});
        TOptionsPage *page = window.optionsPage();
        page->cbStartInTray->setChecked(true);
        page->cbConfirmDelete->setChecked(false);
        page->rbZipFiles->click();
        page->txtZipFileName->setText("/srv/zips/");
        page->rbDefaultWAV->click();
        page->cbAutoLoadScheduler->setChecked(false);
        window.ShowPage("Logs");
        QVERIFY(window.SaveAllSettings());
    }
    TRegIniFile ini(kRoot);
    QCOMPARE(ini.ReadNumber("Settings\\Options", "DeleteType", -1), 3);
    QCOMPARE(ini.ReadText("Settings\\Options", "ActiveItemCaption", ""), QStringLiteral("Logs"));

    TClarivexMainForm again;
    again.createWindowSteps({});
    TOptionsPage *page = again.optionsPage();
    QVERIFY(page->cbStartInTray->isChecked());
    QVERIFY(!page->cbConfirmDelete->isChecked());
    QVERIFY(page->rbZipFiles->isChecked());
    QVERIFY(page->txtZipFileName->isEnabled());
    QCOMPARE(page->txtZipFileName->text(), QStringLiteral("/srv/zips/"));
    QVERIFY(page->rbDefaultWAV->isChecked());
    QVERIFY(!page->txtWAVFileName->isEnabled());
    QCOMPARE(again.currentPage(), QStringLiteral("Logs"));
    QCOMPARE(notices->requests().size(), 0);
}

void TestMainWindowSettings::placementRoundTrip_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("normal") << 0;
    QTest::newRow("minimised") << 1;
    QTest::newRow("maximised") << 2;
}

void TestMainWindowSettings::placementRoundTrip()
{
    QFETCH(int, state);
    ScopedNotices notices;
    {
        TClarivexMainForm window;
        window.createWindowSteps({});
        window.show();
        window.setGeometry(40, 50, 700, 500);
        QVERIFY(window.SaveAllSettings()); // the last normal bounds
        if (state == 1) window.setWindowState(Qt::WindowMinimized);
        if (state == 2) window.setWindowState(Qt::WindowMaximized);
        QVERIFY(window.SaveAllSettings());
    }
    TRegIniFile ini(kRoot);
    QCOMPARE(ini.ReadNumber(QString(), "WindowState", -1), state);
    QCOMPARE(ini.ReadNumber(QString(), "Width", -1), 700);
    QCOMPARE(ini.ReadNumber(QString(), "Height", -1), 500);
    TClarivexMainForm again;
    again.createWindowSteps({});
    QCOMPARE(again.isMaximized(), state == 2);
    QCOMPARE(again.isMinimized(), state == 1);
}

void TestMainWindowSettings::aboutIsNotReopenedAtStart()
{
    {
        TRegIniFile ini(kRoot);
        ini.WriteText("Settings\\Options", "ActiveItemCaption", "About");
        ini.WriteNumber("Settings\\Options", "ActiveGroupIndex", 2);
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    QSignalSpy about(&window, &TClarivexMainForm::aboutRequested);
    window.createWindowSteps({});
    QCOMPARE(about.size(), 0);
    QCOMPARE(window.currentPage(), QStringLiteral("Options"));
    QCOMPARE(window.sideBar()->activeGroup(), 2);
}

void TestMainWindowSettings::startTimerArmedOnce_data()
{
    QTest::addColumn<bool>("scanAtStartUp");
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<int>("runs");
    QTest::newRow("neither") << false << QStringList{} << 0;
    QTest::newRow("start-up option") << true << QStringList{} << 1;
    QTest::newRow("switch") << false << QStringList{"/TIME_TO_RUN_SCHEDULED_EVENT"} << 1;
    QTest::newRow("switch twice and the option")
        << true << QStringList{"/TIME_TO_RUN_SCHEDULED_EVENT", "/TIME_TO_RUN_SCHEDULED_EVENT"} << 1;
    QTest::newRow("switch in lower case")
        << false << QStringList{"/time_to_run_scheduled_event"} << 0;
}

void TestMainWindowSettings::startTimerArmedOnce()
{
    QFETCH(bool, scanAtStartUp);
    QFETCH(QStringList, parameters);
    QFETCH(int, runs);
    {
        TRegIniFile ini(kRoot);
        ini.WriteFlag("Settings\\Schedule", "ScanAtStartUp", scanAtStartUp);
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps(parameters);
    QCOMPARE(window.Timer->isActive(), runs > 0);
    QTest::qWait(800);
    QCOMPARE(window.scheduledRunCount(), runs);
    QVERIFY(!window.Timer->isActive());
}

void TestMainWindowSettings::logFailureAtStartSkipsTheRest()
{
    // The log loads, but the first event cannot be written: a file-size limit
    // below the log's size makes every append fail.
    const QString logPath = EventLog::defaultFilePath();
    QDir().mkpath(QFileInfo(logPath).absolutePath());
    const QByteArray line("01-12-2026 10:00:00;An earlier event of the program\r\n");
    {
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20000; ++i)
            log.write(line);
    }
    {
        TRegIniFile ini(kRoot);
        ini.WriteFlag("Settings\\Schedule", "ScanAtStartUp", true);
        ini.WriteFlag("Settings\\Options", "LogEvents", true);
    }
    ScopedNotices notices;
    TClarivexMainForm window;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit limited = saved;
    limited.rlim_cur = 512 * 1024; // far above what the settings store writes here
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    window.createWindowSteps({QStringLiteral("/TIME_TO_RUN_SCHEDULED_EVENT")});
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    QCOMPARE(notices->requests().size(), 1);
    QCOMPARE(notices->requests().first().kind, ScriptedNotices::Kind::Dialog);
    QVERIFY2(
        notices->requests().first().text.contains(QStringLiteral("Cannot write the event log")),
        qPrintable(notices->requests().first().text));
    QVERIFY(!window.Timer->isActive());
    QCOMPARE(QFileInfo(logPath).size(), 20000 * line.size()); // nothing half-written stays
}

void TestMainWindowSettings::copyDataMessages()
{
    ScopedNotices notices;
    TClarivexMainForm window;
    QVERIFY(window.listenForMessages());
    using namespace clarivex::platform;
    const CopyDataResult other = sendCopyDataText(kMainWindowClass, "hello", 5000);
    QVERIFY(other.delivered());
    QCOMPARE(other.reply, 1);
    QCOMPARE(window.scheduledRunCount(), 0);
    const CopyDataResult scheduled =
        sendCopyDataText(kMainWindowClass, "/TIME_TO_RUN_SCHEDULED_EVENT", 5000);
    QCOMPARE(scheduled.reply, 1);
    QCOMPARE(window.scheduledRunCount(), 1);
    QCOMPARE(window.WMCopyData("/time_to_run_scheduled_event"), 1); // exact case only
    QCOMPARE(window.scheduledRunCount(), 1);
    window.setScanCommandsEnabled(false); // a scan runs: the scheduled run is dropped
    QCOMPARE(window.WMCopyData("/TIME_TO_RUN_SCHEDULED_EVENT"), 1);
    QCOMPARE(window.scheduledRunCount(), 1);
}

void TestMainWindowSettings::damagedStoreIsToldOnce()
{
    QDir().mkpath(QFileInfo(RegistryDatabase::defaultPath()).absolutePath());
    QFile file(RegistryDatabase::defaultPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    ScopedNotices notices;
    TClarivexMainForm window;
    window.createWindowSteps({});
    QCOMPARE(notices->requests().size(), 1);
    QVERIFY(notices->requests().first().text.contains("was damaged"));
    TClarivexMainForm second;
    second.createWindowSteps({});
    QCOMPARE(notices->requests().size(), 1);
}

void TestMainWindowSettings::everyPageRoundTrips()
{
    ScopedNotices notices;
    SettingsCatalogue changed;
    {
        TClarivexMainForm window;
        window.createWindowSteps({});
        SettingsCatalogue s = window.currentSettings();
        // A changed value on every page, through the catalogue and back into the controls.
        s.tempFiles.PlaySound = false;
        s.tempFiles.AutoClean = true;
        s.tempFiles.FilesGroup[1].checked = false;
        s.tempFiles.FilesGroup.append({"Mine", "*.t;", "$00123456", true});
        s.tempFiles.FilesToSkip = {{"cache", true}, {"windows", false}};
        s.tempFiles.Hidden = false;
        s.tempFiles.Size = true;
        s.tempFiles.Max = true;
        s.tempFiles.ScanForText = true;
        s.tempFiles.TextToScanFor = "needle";
        s.duplicates.SkipEmptyFiles = false;
        s.duplicates.FilesToScan = {{"*.dll", true}};
        s.deadShortcuts.DeadShortcutsRecent = false;
        s.directories.TemporaryDir = true;
        s.directories.Directories = {{"/var/cache/thing", true}};
        s.schedule.ScanAtStartUp = true;
        s.schedule.CleanOnClose = true;
        s.options.LogEvents = false;
        window.applySettings(s);
        changed = window.currentSettings();
        QCOMPARE(changed.tempFiles.FilesGroup, s.tempFiles.FilesGroup);
        QCOMPARE(changed.tempFiles.TextToScanFor, QStringLiteral("needle"));
        QVERIFY(window.SaveAllSettings());
    }
    TClarivexMainForm again;
    again.createWindowSteps({});
    const SettingsCatalogue loaded = again.currentSettings();
    QCOMPARE(loaded.tempFiles, changed.tempFiles);
    QCOMPARE(loaded.duplicates, changed.duplicates);
    QCOMPARE(loaded.deadShortcuts, changed.deadShortcuts);
    QCOMPARE(loaded.directories, changed.directories);
    QCOMPARE(loaded.schedule, changed.schedule);
    QCOMPARE(loaded.options, changed.options);
    QCOMPARE(notices->requests().size(), 0);
}

void TestMainWindowSettings::removedGroupIsGoneAfterSaving()
{
    ScopedNotices notices;
    {
        TClarivexMainForm window;
        window.createWindowSteps({});
        QVERIFY(window.SaveAllSettings());
        SettingsCatalogue s = window.currentSettings();
        s.tempFiles.FilesGroup.removeAt(2); // "Lost Cluster Files"
        window.applySettings(s);
        QVERIFY(window.SaveAllSettings());
    }
    TRegIniFile ini(kRoot);
    QCOMPARE(ini.ReadText("Settings\\Temporary Files\\Files Group", "Lost Cluster Files", "gone"),
             QStringLiteral("gone"));
    QCOMPARE(
        ini.ReadText("Settings\\Temporary Files\\Files Group\\Color", "Lost Cluster Files", "gone"),
        QStringLiteral("gone"));
    QCOMPARE(ini.ReadText("Settings\\Temporary Files\\Files Group", "Backup Files", ""),
             QStringLiteral("1*.BAK;*.OLD;"));
}

CLARIVEX_TEST_MAIN(TestMainWindowSettings)
#include "tst_main_window_settings.moc"
