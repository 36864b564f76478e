#pragma once

// The settings of the main program as plain values, one struct per page: what
// the scans and the pages read. Field names are the names of the stored values
// (the controls that show them are named in the comments). Loading and saving
// them is the settings catalogue's work (core/shell/settings_catalogue.h);
// nothing here touches the store.

#include "core/base/drive_marks.h" // driveChecks(), driveMarks()
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTime>

namespace clarivex {

inline constexpr char kSettingsRoot[] = "\\Software\\Marlowtek\\Clarivex 2000\\";

// A file group of the temporary-file scan (clbTempFilesToScanFor).
struct FileGroup
{
    QString name;
    QString masks; // "*.BAK;*.OLD;"
    QString color; // a colour name, "clBlue"
    bool checked = true;
    friend bool operator==(const FileGroup &, const FileGroup &) = default;
};

// An entry of a check list (folders to skip, masks, directories).
struct CheckEntry
{
    QString text;
    bool checked = false;
    friend bool operator==(const CheckEntry &, const CheckEntry &) = default;
};

// The main window's placement and navigation.
struct WindowSettings
{
    int Left = 0;
    int Top = 0;
    int Width = 600;
    int Height = 460;
    int WindowState = 0;       // 0 normal, 1 minimised, 2 maximised
    int ActiveGroupIndex = 0;  // side bar: 0 "Scan Tools", 1 "System", 2 "More"
    QString ActiveItemCaption; // the page shown at closing
    bool firstStart = false;   // no size was stored: the window chooses its first one
    friend bool operator==(const WindowSettings &, const WindowSettings &) = default;
};

// The "Options" page.
struct GeneralOptions
{
    bool StartInTray = false;       // cbStartInTray
    bool RunAtStartup = false;      // cbRunAtStartup
    bool ConfirmDelete = true;      // cbConfirmDelete
    quint8 DeleteType = 0;          // 0 rbMoveFilesToRecycleBin .. 3 rbZipFiles
    QString MoveFolderPath;         // txtMoveFolderPath
    QString ZipFileName;            // txtZipFileName (a folder)
    bool AutoLoadScheduler = false; // cbAutoLoadScheduler
    bool DefaultWAV = true;         // rbDefaultWAV
    bool WAVFile = false;           // rbWAVFile
    QString WAVFileName;            // txtWAVFileName
    bool LogEvents = true;          // cbLogEvents (the "Logs" page)
    // No control: scans skip the system folders and a clean refuses system
    // files unless an expert turns this off in the store.
    bool ProtectSystemFiles = true;
    friend bool operator==(const GeneralOptions &, const GeneralOptions &) = default;
};

// The filters both file scans share (prefix TF or DF on the controls).
struct ScanFilterSettings
{
    bool PlaySound = true;             // cbTFPlaySound / cbDFPlaySound
    QByteArray SelectedDrives;         // drive marks, see driveChecks()
    bool FileDate = false;             // cbTFFileDate
    std::optional<QDateTime> Between1; // dtpTFBetween1; none: the picker keeps its value
    std::optional<QDateTime> Between2; // dtpTFBetween2
    bool Hidden = true;                // cbTFHidden
    bool ReadOnly = true;              // cbTFReadOnly
    bool System = true;                // cbTFSystem
    bool Size = false;                 // cbTFSize
    bool Max = false;                  // rbTFMax
    bool Min = false;                  // rbTFMin
    bool ScanForText = false;          // cbTFText
    QString TextToScanFor;             // txtTFText
    friend bool operator==(const ScanFilterSettings &, const ScanFilterSettings &) = default;
};

// "Temporary Files" page.
struct TempFileSettings : ScanFilterSettings
{
    bool AutoClean = false;        // cbTFAutoClean
    QList<FileGroup> FilesGroup;   // clbTempFilesToScanFor with masks and colours
    QList<CheckEntry> FilesToSkip; // clbTempFoldersToSkip
    friend bool operator==(const TempFileSettings &, const TempFileSettings &) = default;
};

// "Duplicate Files" page.
struct DuplicateFileSettings : ScanFilterSettings
{
    bool FloppyIsMaster = true;         // chkFloppyIsMaster
    bool CheckFileTimeStamp = true;     // chkCheckFileTimeStamp
    bool SkipSysBackup = true;          // chkSkipSysBackup
    bool SkipEmptyFiles = true;         // chkSkipEmptyFiles
    bool CheckFileName = true;          // chkCheckFileName
    bool CheckFileSize = true;          // chkCheckFileSize
    bool UseHashCache = true;           // chkUseHashCache
    QList<CheckEntry> FilesToScan;      // clbDupeFilesToScanFor
    QList<CheckEntry> FilesToSkip;      // clbDupeFoldersToSkip
    QList<CheckEntry> ReferenceFolders; // clbDupeReferenceFolders: full paths, checked ones apply
    friend bool operator==(const DuplicateFileSettings &, const DuplicateFileSettings &) = default;
};

// "Dead Shortcuts" page.
struct DeadShortcutSettings
{
    bool DeadShortcutsDesktop = true;   // chkDeadShortcutsDesktop
    bool DeadShortcutsStartMenu = true; // chkDeadShortcutsStartMenu
    bool DeadShortcutsRecent = true;    // chkDeadShortcutsRecent
    friend bool operator==(const DeadShortcutSettings &, const DeadShortcutSettings &) = default;
};

// "Clean Directories" page. Its four folder edits are filled from the system,
// not stored.
struct DirectorySettings
{
    bool TemporaryDir = false;     // cbTemporaryDir
    bool DocsFolder = false;       // cbDocsFolder
    bool IECacheDir = false;       // cbIECacheDir
    bool NetscapeCacheDir = false; // cbNetscapeCacheDir
    bool AutoClean = false;        // cbDirsAutoClean
    QList<CheckEntry> Directories; // clbDirectories
    QStringList AppRules;          // ids of the checked application rules
    friend bool operator==(const DirectorySettings &, const DirectorySettings &) = default;
};

// "Schedule Options" page.
struct ScheduleSettings
{
    bool ScheduleScans = false;           // cbScheduleScans
    bool ScheduleTemporaryFiles = false;  // cbScheduleTF
    bool ScheduleDirectories = false;     // cbScheduleDirs
    int Run = 0;                          // rbEvery 0, rbHourly, rbDaily, rbWeekly, rbMonthly 4
    int TrackBarPosition = 15;            // TrackBar95, 0 to 30
    QString Hourly = QStringLiteral("0"); // txtHourly
    QTime Daily;                          // dtpDaily; null: the picker keeps its value
    QTime Weekly;                         // dtpWeekly
    int cbWeekly_ItemIndex = -1;          // cbWeekly: 0 Sunday .. 6 Saturday
    QTime Monthly;                        // dtpMonthly
    QString Monthly_Day = QStringLiteral("1"); // txtMonthly_Day
    bool ScanAtStartUp = false;                // cbScanAtStartUp
    bool CleanOnClose = false;                 // cbCleanOnClose
    friend bool operator==(const ScheduleSettings &, const ScheduleSettings &) = default;
};

// The web update check (no control; see core/shell/update_settings.h).
struct UpdateSettings
{
    bool AutoCheck = true; // the check a few seconds after start
    QString InfoURL;       // the update information; empty: no check
    friend bool operator==(const UpdateSettings &, const UpdateSettings &) = default;
};

struct SettingsCatalogue
{
    WindowSettings window;
    GeneralOptions options;
    TempFileSettings tempFiles;
    DuplicateFileSettings duplicates;
    DeadShortcutSettings deadShortcuts;
    DirectorySettings directories;
    ScheduleSettings schedule;
    UpdateSettings update;
    friend bool operator==(const SettingsCatalogue &, const SettingsCatalogue &) = default;
};

} // namespace clarivex
