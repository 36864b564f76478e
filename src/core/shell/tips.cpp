#include "core/shell/tips.h"

#include <QHash>
#include <QStringList>

namespace clarivex {

namespace {

QString temporaryFileText(const QString &fileName)
{
    // The rules compare in upper case; the text quotes the extension as on disk.
    const QString name = fileName.toUpper();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : name.mid(dot);
    const QString shownExt =
        dot < 0 ? QString() : fileName.mid(fileName.lastIndexOf(QLatin1Char('.')));
    const auto is = [&](std::initializer_list<const char *> list) {
        for (const char *item : list) {
            if (ext == QLatin1String(item)) return true;
        }
        return false;
    };
    const auto contains = [](const QString &text, const char *part) {
        return text.contains(QLatin1String(part));
    };

    if (is({".BAK", ".OLD"}))
        return QStringLiteral(
                   "This file appears to be a Backup File, since it's extension, \"%1\", "
                   "is often used for Backup Files. Delete it only if you are sure it is "
                   "not needed.")
            .arg(shownExt);
    if (is({".TMP", ".$$$"}))
        return QStringLiteral(
                   "This file appears to be a Temporary File, since it's extension, "
                   "\"%1\", is often used for Temporary Files. Delete it only if you are "
                   "sure it is not needed.")
            .arg(shownExt);
    if (contains(ext, "~") || contains(ext, "$") || contains(name, "~") || contains(name, "$"))
        return QStringLiteral("This file appears to be a Temporary File, since it's filename "
                              "contains characters typically, used for Temporary Files. Delete it "
                              "only if you are sure it is not needed.");
    if (is({".---"}))
        return QStringLiteral("Setup Files are compressed copies of files before they are "
                              "installed. Some installation programs do not remove them properly. "
                              "You can safely delete these files.");
    if (is({".GID"}))
        return QStringLiteral("GID Files are created by Windows 9x/NT to speed up help files "
                              "access. Deleting them will not prevent help files from running. You "
                              "can safely delete these files.");
    if (is({".FTS", ".FTG"}))
        return QStringLiteral("FTS and FTG Files are created by Windows 9x/NT to speed up word "
                              "searches in help files. Deleting them will not prevent help files "
                              "from running.You can safely delete these files.");
    if (name == QLatin1String("MSCREATE.DIR"))
        return QStringLiteral("MSCREATE.DIR Files are temporary files that are created by the "
                              "installation of Microsoft applications. We still don't understand "
                              "why these files are not deleted. You can safely delete all of these "
                              "files.");
    const QStringList logNames{QStringLiteral("BOOTLOG.PRV"), QStringLiteral("MODEMDET.TXT"),
                               QStringLiteral("SUHDLOG.DAT"), QStringLiteral("SYSTEM.1ST")};
    if (contains(name, "LOG.TXT") || logNames.contains(name))
        return QStringLiteral("Log Files are created by Windows 9x/NT when detecting new "
                              "peripherals or when errors occur. These files are : *LOG.TXT, "
                              "BOOTLOG.PRV, MODEMDET.TXT, SUHDLOG.DAT, SYSTEM.1ST.");
    if (is({".CHK"}) || contains(name, "CHKLIST"))
        return QStringLiteral("Lost Cluster Files are files which are created my CHKDSK.EXE, when "
                              "lost clusters are found. You can safely delete all of these files.");
    return QStringLiteral("File Type not on Tips System.");
}

} // namespace

std::optional<Tip> tipForFile(int scanKind, const QString &fileName)
{
    switch (scanKind) {
    case 0:
        return Tip{QStringLiteral("Temporary Files"), temporaryFileText(fileName)};
    case 1:
        return Tip{
            QStringLiteral("Duplicate Files"),
            QStringLiteral(
                "This file appears to be a Duplicate File. This does not necessarily mean you can "
                "delete it, sometimes it is normal to have duplicate files (for example the "
                "Windows Sysbckup Directory). If the file has the extension .DLL but it is not "
                "located in the Windows System folder AND the file version is the same or newer "
                "you should move it to the Windows System folder. If the file version if older "
                "than the one located on your Windows System folder, you should delete this file "
                "instead. You should then be able to safely delete all other files with the same "
                "name. Most of all, make sure you back up before deleting duplicate files! PLEASE "
                "NOTE: THIS IS A TOOL FOR POWER USERS. IF YOU DON'T UNDERSTAND WHAT YOU ARE DOING "
                "PLEASE DO NOT USE THIS OPTION.")};
    case 2:
        return Tip{QStringLiteral("Directories"),
                   QStringLiteral("This file is on one of the Directories you selected to be "
                                  "scanned. Delete it if you are sure it is not needed.")};
    default:
        return std::nullopt;
    }
}

Tip deadShortcutTip(const QString &target)
{
    return Tip{QStringLiteral("Dead Shortcuts"),
               QStringLiteral("This shortcut points to %1, which no longer exists. Delete it if "
                              "you do not expect the target to come back (a drive that is not "
                              "plugged in, for example).")
                   .arg(target)};
}

Tip tipForPage(const QString &page, const QString &deadShortcutsText)
{
    static const QHash<QString, QString> texts = {
        {QStringLiteral("Options"),
         QStringLiteral("This page allows you to set the general preferences for Clarivex 2000.")},
        {QStringLiteral("Temporary Files"),
         QStringLiteral("Use this page to configure the Temporary Files options.")},
        {QStringLiteral("Duplicate Files"),
         QStringLiteral("Use this page to configure the Duplicate Files options.")},
        {QStringLiteral("Clean Directories"),
         QStringLiteral("Use this page to Add/Remove directories to be scanned.")},
        {QStringLiteral("FAT-Losses"),
         QStringLiteral(
             "If you have directories wasting a lot of space you can move these directories to a "
             "partition/disk with a smaller cluster size to save space. If you have a directory "
             "wasting 2MB on a disk with 16K clusters and you move it to a disk with 8K clusters "
             "you will likely regain 1MB of space. Beware: You have to check by yourself if you "
             "can move any of these directories. Sometimes you will need to uninstall and "
             "reinstall the whole application to move the application's directories. Sometimes "
             "you can move them within your application (for example MSIE Temporary Internet "
             "directories).")},
        {QStringLiteral("Schedule Options"),
         QStringLiteral("Use this page to enable and set the scheduling options.")},
        {QStringLiteral("Add / Remove Programs"),
         QStringLiteral("Use this page to Add/Remove/Edit the items you have on your Uninstall "
                        "Programs list.")},
    };
    if (page == QLatin1String("Dead Shortcuts")) return Tip{page, deadShortcutsText};
    return Tip{page, texts.value(page)};
}

} // namespace clarivex
