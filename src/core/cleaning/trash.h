#pragma once

// The freedesktop.org Trash. A file on the home's volume goes to the home
// trash ($XDG_DATA_HOME/Trash); a file on another volume goes to that
// volume's "$topdir/.Trash/$uid" when "$topdir/.Trash" is a real folder with
// the sticky bit, else to "$topdir/.Trash-$uid" (made 0700, refused when it
// is a link or belongs to someone else). The ".trashinfo" is made first, with
// O_EXCL, so that two programs never take one name; the file is then renamed
// in. Nothing is ever copied to another volume: when no trash on the file's
// own volume can be used, the file stays and the result says so.

#include "core/cleaning/entry_result.h"
#include "core/cleaning/file_identity.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <functional>
#include <memory>
#include <optional>

#include <sys/types.h>

namespace clarivex::cleaning {

struct TrashPlaces
{
    QByteArray homeTrash; // "$XDG_DATA_HOME/Trash"
    uid_t user = 0;
    // Whether a file of this device belongs in the home trash.
    std::function<bool(dev_t)> onHomeVolume;
    // The top folder of the volume that holds `folder` (its mount point).
    std::function<QByteArray(const QByteArray &folder)> topDirectory;

    // The current user's places, the volumes as mounted now.
    [[nodiscard]] static TrashPlaces forCurrentUser();
};

// The highest folder above `folder` (itself included) on the same device.
[[nodiscard]] QByteArray mountTopOf(const QByteArray &folder);

struct TrashResult
{
    EntryResult result;   // destination: the file's place in "files/"
    QByteArray infoFile;  // the ".trashinfo" written
    bool noTrash = false; // no trash could be used on the file's volume: nothing was done
};

// Moves many files to the Trash: each volume's trash is found and opened once
// (and held open, so a folder swapped for a link afterwards is not followed),
// a source folder is opened once for its files in a row, and the deletion
// date is formatted once a second. Every file still gets its own
// ".trashinfo", made with O_EXCL before the file is renamed in.
class TrashBatch
{
public:
    explicit TrashBatch(TrashPlaces places);
    ~TrashBatch();
    TrashBatch(const TrashBatch &) = delete;
    TrashBatch &operator=(const TrashBatch &) = delete;

    // `now` invalid: the current time.
    [[nodiscard]] TrashResult move(const QByteArray &path,
                                   const std::optional<FileIdentity> &expected,
                                   const QDateTime &now = {});
    // The files about to be moved, in the order they will be: their infos are
    // written ahead on a second thread (trash_info_ahead.h), and those not
    // used are removed again by endInfoAhead() at the latest.
    void writeInfoAhead(const QList<QByteArray> &paths,
                        const QList<std::optional<FileIdentity>> &identities);
    void endInfoAhead();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

[[nodiscard]] TrashResult moveToTrash(const QByteArray &path, const TrashPlaces &places,
                                      const std::optional<FileIdentity> &expected,
                                      const QDateTime &now = QDateTime::currentDateTime());

// The ".trashinfo" text: "Path" percent-encoded with "/" kept, the deletion
// date in local time "yyyy-MM-ddThh:mm:ss".
[[nodiscard]] QByteArray trashInfoText(const QByteArray &path, const QDateTime &deleted);
[[nodiscard]] QByteArray trashInfoDate(const QDateTime &deleted);

} // namespace clarivex::cleaning
