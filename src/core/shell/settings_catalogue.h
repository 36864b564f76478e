#pragma once

// Loading and saving every setting of the main program (the plain values are
// in core/base/settings_types.h): what the main window copies into its
// controls after loading and back out of them before saving. A
// default-constructed catalogue holds the
// controls' built-in states; LoadAllSettings replaces them with the stored
// values, or with the defaults of a missing value.
//
// The store layout, below "\Software\Marlowtek\Clarivex 2000\" of the current
// user (a TRegIniFile, sections below it):
//   (root)                           ClarivexPath, Left, Top, Width, Height, WindowState
//   Settings\Options                 ActiveGroupIndex, ActiveItemCaption, general options
//   Settings\Temporary Files         its scan options, SelectedDrives, Between1/2
//     \Files Group, \Files Group\Color, \Files To Skip      list sections
//   Settings\Duplicate Files         its scan options; \Files To Scan, \Files To Skip
//   Settings\Dead Shortcuts, Settings\Clean Directories
//   Settings\Clean DirectoriesDirectories   (one word: a sibling, not a child)
//   Settings\Schedule
//   Settings\Update                  the update check (core/shell/update_settings.h)
// A list section holds one value per entry, named by the entry, in list order.
//
// Failures: a stored value of the wrong kind makes LoadAllSettings throw
// ERegistryException ("Invalid data type for '%s'") at that value. Everything
// read before it is in the catalogue; everything after it keeps its built-in
// state. Only the two date values of each scan, the group entries when saving
// and the schedule's time values are guarded (their errors are swallowed).
// SaveAllSettings throws at the value it cannot write; later values keep what
// the store held before.

#include "core/base/settings_types.h"

#include <QDateTime>
#include <QSize>
#include <QString>

#include <optional>

namespace clarivex {

// What loading and saving need from outside the store.
struct SettingsContext
{
    QString executablePath; // written as "ClarivexPath"; the Scheduler lies beside it
    QSize screenSize;       // centres a window without a stored position
    QDateTime now;          // the schedule's default times and weekday

    // This process: its executable, the primary screen (none without a GUI), now.
    static SettingsContext current();
    QString schedulerPath() const; // "clarivex-scheduler" beside the executable
};

// Default of "MoveFolderPath" and "ZipFileName": "Clarivex 2000 Backups/" in the home folder.
[[nodiscard]] QString defaultBackupFolder();
// The six groups of a first start, all checked.
[[nodiscard]] QList<FileGroup> factoryFileGroups();
// "windows" and "utils", unchecked.
[[nodiscard]] QList<CheckEntry> factoryFoldersToSkip();

// "Also scan this directories:" of a first start: the thumbnail cache and the
// whole cache folder ($XDG_CACHE_HOME), unchecked.
[[nodiscard]] QList<CheckEntry> factoryDirectories();

// Reads every setting in the fixed order; see the failure rules above.
void LoadAllSettings(SettingsCatalogue &settings, const SettingsContext &context);
// "StartInTray" straight from the store, whatever stopped LoadAllSettings.
[[nodiscard]] bool ReadStartInTray();
// Writes every setting in the fixed order, and the Scheduler's autostart entry.
void SaveAllSettings(const SettingsCatalogue &settings, const SettingsContext &context);

} // namespace clarivex
