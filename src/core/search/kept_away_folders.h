#pragma once

// The folders no walk enters: what the program or the desktop put away is not
// junk again. A file in the Trash found and trashed a second time loses its
// ".trashinfo" and with it its origin; a backup moved again on every run is
// never where the user left it.
//
// Always kept away: the home Trash ($XDG_DATA_HOME/Trash) and every volume's
// own trash, the folder ".Trash" or ".Trash-<uid>" at the top of a mounted
// volume (any user's: as root, another user's trash is still a trash). Kept
// away besides: the folder a move clean moves to and the one a zip clean
// writes its archives to, from the stored options (an empty option: the
// default backup folder).
//
// Folders are told by device and inode when a walk starts, so another
// spelling of the path or a link to it is kept away as well.

#include "core/base/settings_types.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace clarivex {

class KeptAwayFolders
{
public:
    // The home Trash and the default backup folder.
    KeptAwayFolders();
    // The home Trash, the move folder and the archive folder of the options.
    [[nodiscard]] static KeptAwayFolders fromOptions(const GeneralOptions &options);
    [[nodiscard]] static KeptAwayFolders fromFolders(const QString &moveFolder,
                                                     const QString &zipFolder);

    void add(const QByteArray &folder);
    [[nodiscard]] const QList<QByteArray> &folders() const { return m_folders; }

    // ".Trash" or ".Trash-" followed by digits: a volume's trash when it
    // stands at the volume's top.
    [[nodiscard]] static bool isVolumeTrashName(const char *name);

private:
    QList<QByteArray> m_folders;
};

} // namespace clarivex
