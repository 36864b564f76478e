#include "core/shell/settings_catalogue.h"

#include "core/base/drive_marks.h"
#include "core/base/formats.h"
#include "core/platform/autostart.h"
#include "core/shell/custom_registry.h"
#include "core/shell/settings_schedule.h"
#include "core/shell/update_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include <algorithm>

namespace clarivex {

namespace {

const QString kRoot;
const QString kOptions = QStringLiteral("Settings\\Options");
const QString kTemp = QStringLiteral("Settings\\Temporary Files");
const QString kGroups = QStringLiteral("Settings\\Temporary Files\\Files Group");
const QString kGroupColors = QStringLiteral("Settings\\Temporary Files\\Files Group\\Color");
const QString kTempSkip = QStringLiteral("Settings\\Temporary Files\\Files To Skip");
const QString kDupe = QStringLiteral("Settings\\Duplicate Files");
const QString kDupeScan = QStringLiteral("Settings\\Duplicate Files\\Files To Scan");
const QString kDupeSkip = QStringLiteral("Settings\\Duplicate Files\\Files To Skip");
const QString kDupeReference = QStringLiteral("Settings\\Duplicate Files\\Reference Folders");
const QString kDead = QStringLiteral("Settings\\Dead Shortcuts");
const QString kDirs = QStringLiteral("Settings\\Clean Directories");
const QString kDirList = QStringLiteral("Settings\\Clean DirectoriesDirectories");
const QString kSchedule = QStringLiteral("Settings\\Schedule");
const QString kDefaultColor = QStringLiteral("clBlack");
const QString kDefaultWave = QStringLiteral("Notify.wav");

QString str(const char *text)
{
    return QString::fromLatin1(text);
}

// ---- Lists ---------------------------------------------------------------

// All names and texts are read before anything is kept, so a bad value
// leaves the list as it was.
QList<CheckEntry> loadCheckList(TRegIniFile &ini, const QString &section,
                                const QList<CheckEntry> &factory)
{
    QStringList names;
    ini.ListValueNames(section, names);
    if (names.isEmpty()) return factory;
    QList<CheckEntry> entries;
    for (const QString &name : std::as_const(names))
        entries.append({name, ini.ReadText(section, name, QString()) != QLatin1String("0")});
    return entries;
}

QList<FileGroup> loadFileGroups(TRegIniFile &ini)
{
    QStringList names;
    ini.ListValueNames(kGroups, names);
    if (names.isEmpty()) return factoryFileGroups();
    QList<FileGroup> groups;
    for (const QString &name : std::as_const(names)) {
        const QString text = ini.ReadText(kGroups, name, QString());
        groups.append({name, text.mid(1), ini.ReadText(kGroupColors, name, kDefaultColor),
                       text.startsWith(QLatin1Char('1'))});
    }
    return groups;
}

void saveCheckList(TRegIniFile &ini, const QString &section, const QList<CheckEntry> &entries)
{
    ini.DropSection(section);
    for (const CheckEntry &entry : entries)
        ini.WriteText(section, entry.text, entry.checked ? str("1") : str("0"));
}

void saveFileGroups(TRegIniFile &ini, const QList<FileGroup> &groups)
{
    ini.DropSection(kGroups); // and its Color section below it
    for (const FileGroup &group : groups) {
        try {
            ini.WriteText(kGroups, group.name, (group.checked ? str("1") : str("0")) + group.masks);
            ini.WriteText(kGroupColors, group.name, group.color);
        } catch (const std::exception &) {
            // one group that cannot be written does not stop the others
        }
    }
}

// ---- The two date pickers of a scan ------------------------------------

QString absoluteSection(const QString &section)
{
    return str(kSettingsRoot) + section;
}

// Errors end the step quietly; whatever was read before stays.
void loadDates(const QString &section, ScanFilterSettings &filter)
{
    try {
        TRegistry registry;
        if (!registry.OpenPath(absoluteSection(section), false)) return;
        for (auto [name, target] :
             {std::pair{"Between1", &filter.Between1}, std::pair{"Between2", &filter.Between2}}) {
            const QDateTime value = valueToDateTime(registry.ReadStamp(str(name)));
            if (!value.isValid()) return;
            *target = value;
        }
    } catch (const std::exception &) {
    }
}

void saveDates(const QString &section, const ScanFilterSettings &filter)
{
    try {
        TRegistry registry;
        if (!registry.OpenPath(absoluteSection(section), true)) return;
        if (filter.Between1)
            registry.WriteStamp(str("Between1"), dateTimeToValue(*filter.Between1));
        if (filter.Between2)
            registry.WriteStamp(str("Between2"), dateTimeToValue(*filter.Between2));
    } catch (const std::exception &) {
    }
}

// ---- The filter block both scans share -----------------------------------

void loadFilterTail(TRegIniFile &ini, const QString &section, ScanFilterSettings &f)
{
    f.FileDate = ini.ReadFlag(section, str("FileDate"), false);
    loadDates(section, f);
    f.Hidden = ini.ReadFlag(section, str("Hidden"), true);
    f.ReadOnly = ini.ReadFlag(section, str("ReadOnly"), true);
    f.System = ini.ReadFlag(section, str("System"), true);
    f.Size = ini.ReadFlag(section, str("Size"), false);
    f.Max = ini.ReadFlag(section, str("Max"), false);
    f.Min = ini.ReadFlag(section, str("Min"), false);
    f.ScanForText = ini.ReadFlag(section, str("ScanForText"), false);
    f.TextToScanFor = ini.ReadText(section, str("TextToScanFor"), QString());
}

void saveFilterTail(TRegIniFile &ini, const QString &section, const ScanFilterSettings &f)
{
    ini.WriteFlag(section, str("FileDate"), f.FileDate);
    saveDates(section, f);
    ini.WriteFlag(section, str("Hidden"), f.Hidden);
    ini.WriteFlag(section, str("ReadOnly"), f.ReadOnly);
    ini.WriteFlag(section, str("System"), f.System);
    ini.WriteFlag(section, str("Size"), f.Size);
    ini.WriteFlag(section, str("Max"), f.Max);
    ini.WriteFlag(section, str("Min"), f.Min);
    ini.WriteFlag(section, str("ScanForText"), f.ScanForText);
    ini.WriteText(section, str("TextToScanFor"), f.TextToScanFor);
}

QByteArray loadDriveMarks(TRegIniFile &ini, const QString &section)
{
    return driveMarksFromStored(ini.ReadTextBytes(section, str("SelectedDrives")));
}

void saveDriveMarks(TRegIniFile &ini, const QString &section, const QByteArray &marks)
{
    ini.WriteTextBytes(section, str("SelectedDrives"), marks);
}

} // namespace

// ---- Shared helpers ----------------------------------------------------------

QString defaultBackupFolder()
{
    return QDir::homePath() + QStringLiteral("/Clarivex 2000 Backups/");
}

QList<FileGroup> factoryFileGroups()
{
    return {
        {str("Temporary Files"), str("*.TMP;*.~*;~*.*;*.??~;*.??$;*.^*;"), str("clBlue"), true},
        {str("Backup Files"), str("*.BAK;*.OLD;"), str("clGray"), true},
        {str("Lost Cluster Files"), str("CHKLIST.*;*.CHK;FILE????._DD;"), str("clPurple"), true},
        {str("Help Temporary Files"), str("*.GID;*.FTS;*.FTG;"), str("clTeal"), true},
        {str("Setup Temporary Files"), str("MSCREATE.DIR;*.---;"), str("clOlive"), true},
        {str("System Log Files"), str("*.LOG.TXT;BOOTLOG.PRV;MODEMDET.TXT;SUHDLOG.DAT;SYSTEM.1ST;"),
         str("clSilver"), true},
    };
}

QList<CheckEntry> factoryFoldersToSkip()
{
    return {{str("windows"), false}, {str("utils"), false}};
}

SettingsContext SettingsContext::current()
{
    SettingsContext context;
    context.executablePath = QCoreApplication::applicationFilePath();
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            context.screenSize = screen->size();
    context.now = QDateTime::currentDateTime();
    return context;
}

QString SettingsContext::schedulerPath() const
{
    return QFileInfo(executablePath).absolutePath() + QStringLiteral("/clarivex-scheduler");
}

// ---- Loading -------------------------------------------------------------

namespace {

void loadWindow(TRegIniFile &ini, WindowSettings &w, const SettingsContext &context)
{
    // Centred by the window's size as it stands when the edge is read.
    w.Left =
        ini.ReadNumber(kRoot, str("Left"), std::max(0, (context.screenSize.width() - w.Width) / 2));
    w.Top = ini.ReadNumber(kRoot, str("Top"),
                           std::max(0, (context.screenSize.height() - w.Height) / 2));
    w.firstStart = ini.ReadNumber(kRoot, str("Width"), -1) < 0;
    w.Width = ini.ReadNumber(kRoot, str("Width"), 600);
    w.Height = ini.ReadNumber(kRoot, str("Height"), 460);
    w.WindowState = ini.ReadNumber(kRoot, str("WindowState"), 0);
    w.ActiveGroupIndex = ini.ReadNumber(kOptions, str("ActiveGroupIndex"), 0);
    w.ActiveItemCaption = ini.ReadText(kOptions, str("ActiveItemCaption"), QString());
}

void loadOptions(TRegIniFile &ini, GeneralOptions &o)
{
    o.StartInTray = ini.ReadFlag(kOptions, str("StartInTray"), false);
    o.RunAtStartup = ini.ReadFlag(kOptions, str("RunAtStartup"), false);
    o.ConfirmDelete = ini.ReadFlag(kOptions, str("ConfirmDelete"), true);
    // Only the low byte counts; a mode no option button stands for is taken
    // as the Recycle Bin, the button that then stays checked.
    const quint8 mode = quint8(ini.ReadNumber(kOptions, str("DeleteType"), 0) & 0xFF);
    o.DeleteType = mode <= 3 ? mode : 0;
    o.MoveFolderPath = ini.ReadText(kOptions, str("MoveFolderPath"), defaultBackupFolder());
    o.ZipFileName = ini.ReadText(kOptions, str("ZipFileName"), defaultBackupFolder());
    o.AutoLoadScheduler = ini.ReadFlag(kOptions, str("AutoLoadScheduler"), false);
    o.ProtectSystemFiles = ini.ReadFlag(kOptions, str("ProtectSystemFiles"), true);
    o.DefaultWAV = ini.ReadFlag(kOptions, str("DefaultWAV"), false);
    o.WAVFile = ini.ReadFlag(kOptions, str("WAVFile"), true);
    o.WAVFileName = ini.ReadText(kOptions, str("WAVFileName"), kDefaultWave);
}

void loadTempFiles(TRegIniFile &ini, TempFileSettings &t)
{
    t.PlaySound = ini.ReadFlag(kTemp, str("PlaySound"), true);
    t.AutoClean = ini.ReadFlag(kTemp, str("AutoClean"), false);
    t.SelectedDrives = loadDriveMarks(ini, kTemp);
    t.FilesGroup = loadFileGroups(ini);
    t.FilesToSkip = loadCheckList(ini, kTempSkip, factoryFoldersToSkip());
    loadFilterTail(ini, kTemp, t);
}

void loadDuplicates(TRegIniFile &ini, DuplicateFileSettings &d)
{
    d.FloppyIsMaster = ini.ReadFlag(kDupe, str("FloppyIsMaster"), true);
    d.CheckFileTimeStamp = ini.ReadFlag(kDupe, str("CheckFileTimeStamp"), true);
    d.SkipSysBackup = ini.ReadFlag(kDupe, str("SkipSysBackup"), true);
    d.SkipEmptyFiles = ini.ReadFlag(kDupe, str("SkipEmptyFiles"), true);
    d.CheckFileName = ini.ReadFlag(kDupe, str("CheckFileName"), true);
    d.CheckFileSize = ini.ReadFlag(kDupe, str("CheckFileSize"), true);
    d.UseHashCache = ini.ReadFlag(kDupe, str("UseHashCache"), true);
    d.PlaySound = ini.ReadFlag(kDupe, str("PlaySound"), true);
    d.SelectedDrives = loadDriveMarks(ini, kDupe);
    d.FilesToScan = loadCheckList(ini, kDupeScan, {{str("*.*"), false}});
    d.FilesToSkip = loadCheckList(ini, kDupeSkip, factoryFoldersToSkip());
    d.ReferenceFolders = loadCheckList(ini, kDupeReference, {});
    loadFilterTail(ini, kDupe, d);
}

void loadShortcutsAndDirectories(TRegIniFile &ini, DeadShortcutSettings &s, DirectorySettings &d)
{
    s.DeadShortcutsDesktop = ini.ReadFlag(kDead, str("DeadShortcutsDesktop"), true);
    s.DeadShortcutsStartMenu = ini.ReadFlag(kDead, str("DeadShortcutsStartMenu"), true);
    s.DeadShortcutsRecent = ini.ReadFlag(kDead, str("DeadShortcutsRecent"), true);
    d.TemporaryDir = ini.ReadFlag(kDirs, str("TemporaryDir"), false);
    d.DocsFolder = ini.ReadFlag(kDirs, str("DocsFolder"), false);
    d.IECacheDir = ini.ReadFlag(kDirs, str("IECacheDir"), false);
    d.NetscapeCacheDir = ini.ReadFlag(kDirs, str("NetscapeCacheDir"), false);
    d.AutoClean = ini.ReadFlag(kDirs, str("AutoClean"), false);
    d.AppRules =
        ini.ReadText(kDirs, str("AppRules"), QString()).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // A first start (the page was never saved) offers Linux's own junk folders.
    QStringList pageValues;
    ini.ListValueNames(kDirs, pageValues);
    d.Directories = loadCheckList(
        ini, kDirList, pageValues.isEmpty() ? factoryDirectories() : QList<CheckEntry>{});
}

} // namespace

QList<CheckEntry> factoryDirectories()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) return {};
    return {{cache + QStringLiteral("/thumbnails"), false}, {cache, false}};
}

bool ReadStartInTray()
{
    // Read on its own, so that a load stopped by an earlier damaged value
    // still starts in the tray when asked to; this value damaged reads false.
    try {
        TRegIniFile ini(str(kSettingsRoot));
        return ini.ReadFlag(kOptions, str("StartInTray"), false);
    } catch (const std::exception &) {
        return false;
    }
}

void LoadAllSettings(SettingsCatalogue &settings, const SettingsContext &context)
{
    TRegIniFile ini(str(kSettingsRoot));
    ini.WriteText(kRoot, str("ClarivexPath"), context.executablePath);
    loadWindow(ini, settings.window, context);
    loadOptions(ini, settings.options);
    loadTempFiles(ini, settings.tempFiles);
    loadDuplicates(ini, settings.duplicates);
    loadShortcutsAndDirectories(ini, settings.deadShortcuts, settings.directories);
    loadSchedule(ini, settings.schedule, context);
    settings.options.LogEvents = ini.ReadFlag(kOptions, str("LogEvents"), true);
    loadUpdateSettings(ini, settings.update);
}

// ---- Saving --------------------------------------------------------------

namespace {

void saveWindow(TRegIniFile &ini, const WindowSettings &w)
{
    ini.WriteNumber(kRoot, str("WindowState"), w.WindowState);
    if (w.WindowState != 2) { // a maximised window keeps its last normal bounds
        ini.WriteNumber(kRoot, str("Left"), w.Left);
        ini.WriteNumber(kRoot, str("Top"), w.Top);
        ini.WriteNumber(kRoot, str("Width"), w.Width);
        ini.WriteNumber(kRoot, str("Height"), w.Height);
    }
    ini.WriteNumber(kOptions, str("ActiveGroupIndex"), w.ActiveGroupIndex);
    ini.WriteText(kOptions, str("ActiveItemCaption"), w.ActiveItemCaption);
}

void saveOptions(TRegIniFile &ini, const GeneralOptions &o)
{
    ini.WriteFlag(kOptions, str("StartInTray"), o.StartInTray);
    ini.WriteFlag(kOptions, str("RunAtStartup"), o.RunAtStartup);
    ini.WriteFlag(kOptions, str("ConfirmDelete"), o.ConfirmDelete);
    ini.WriteNumber(kOptions, str("DeleteType"), o.DeleteType);
    ini.WriteText(kOptions, str("MoveFolderPath"), o.MoveFolderPath);
    ini.WriteText(kOptions, str("ZipFileName"), o.ZipFileName);
    ini.WriteFlag(kOptions, str("AutoLoadScheduler"), o.AutoLoadScheduler);
    ini.WriteFlag(kOptions, str("ProtectSystemFiles"), o.ProtectSystemFiles);
    ini.WriteFlag(kOptions, str("DefaultWAV"), o.DefaultWAV);
    ini.WriteFlag(kOptions, str("WAVFile"), o.WAVFile);
    ini.WriteText(kOptions, str("WAVFileName"), o.WAVFileName);
}

void saveTempFiles(TRegIniFile &ini, const TempFileSettings &t)
{
    ini.WriteFlag(kTemp, str("PlaySound"), t.PlaySound);
    ini.WriteFlag(kTemp, str("AutoClean"), t.AutoClean);
    saveDriveMarks(ini, kTemp, t.SelectedDrives);
    saveFileGroups(ini, t.FilesGroup);
    saveCheckList(ini, kTempSkip, t.FilesToSkip);
    saveFilterTail(ini, kTemp, t);
}

void saveDuplicates(TRegIniFile &ini, const DuplicateFileSettings &d)
{
    ini.WriteFlag(kDupe, str("FloppyIsMaster"), d.FloppyIsMaster);
    ini.WriteFlag(kDupe, str("CheckFileTimeStamp"), d.CheckFileTimeStamp);
    ini.WriteFlag(kDupe, str("SkipSysBackup"), d.SkipSysBackup);
    ini.WriteFlag(kDupe, str("SkipEmptyFiles"), d.SkipEmptyFiles);
    ini.WriteFlag(kDupe, str("CheckFileName"), d.CheckFileName);
    ini.WriteFlag(kDupe, str("CheckFileSize"), d.CheckFileSize);
    ini.WriteFlag(kDupe, str("UseHashCache"), d.UseHashCache);
    ini.WriteFlag(kDupe, str("PlaySound"), d.PlaySound);
    saveDriveMarks(ini, kDupe, d.SelectedDrives);
    saveCheckList(ini, kDupeScan, d.FilesToScan);
    saveCheckList(ini, kDupeSkip, d.FilesToSkip);
    saveCheckList(ini, kDupeReference, d.ReferenceFolders);
    saveFilterTail(ini, kDupe, d);
}

void saveShortcutsAndDirectories(TRegIniFile &ini, const DeadShortcutSettings &s,
                                 const DirectorySettings &d)
{
    ini.WriteFlag(kDead, str("DeadShortcutsDesktop"), s.DeadShortcutsDesktop);
    ini.WriteFlag(kDead, str("DeadShortcutsStartMenu"), s.DeadShortcutsStartMenu);
    ini.WriteFlag(kDead, str("DeadShortcutsRecent"), s.DeadShortcutsRecent);
    ini.WriteFlag(kDirs, str("TemporaryDir"), d.TemporaryDir);
    ini.WriteFlag(kDirs, str("DocsFolder"), d.DocsFolder);
    ini.WriteFlag(kDirs, str("IECacheDir"), d.IECacheDir);
    ini.WriteFlag(kDirs, str("NetscapeCacheDir"), d.NetscapeCacheDir);
    ini.WriteFlag(kDirs, str("AutoClean"), d.AutoClean);
    ini.WriteText(kDirs, str("AppRules"), d.AppRules.join(QLatin1Char(';')));
    saveCheckList(ini, kDirList, d.Directories);
}

// The start at log-on exists exactly while "RunAtStartup" is on.
void saveStartupEntry(const GeneralOptions &o, const SettingsContext &context)
{
    if (!o.RunAtStartup) {
        platform::removeSchedulerAutostart();
        return;
    }
    QString why;
    if (!platform::writeSchedulerAutostart(context.schedulerPath(), &why)) {
        qWarning("autostart entry not written: %s", qPrintable(why));
        throw ERegistryException(
            QStringLiteral("Failed to set data for '%1'").arg(str("Clarivex")));
    }
}

} // namespace

void SaveAllSettings(const SettingsCatalogue &settings, const SettingsContext &context)
{
    TRegIniFile ini(str(kSettingsRoot));
    ini.WriteText(kRoot, str("ClarivexPath"), context.executablePath);
    saveWindow(ini, settings.window);
    saveOptions(ini, settings.options);
    saveTempFiles(ini, settings.tempFiles);
    saveDuplicates(ini, settings.duplicates);
    saveShortcutsAndDirectories(ini, settings.deadShortcuts, settings.directories);
    saveStartupEntry(settings.options, context);
    saveSchedule(ini, settings.schedule);
    ini.WriteFlag(kOptions, str("LogEvents"), settings.options.LogEvents);
    saveUpdateSettings(ini, settings.update);
}

} // namespace clarivex
