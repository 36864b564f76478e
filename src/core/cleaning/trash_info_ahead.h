#pragma once

// The ".trashinfo"s of a list of files about to go to the Trash, written
// ahead on a thread of their own while the files before them are renamed in:
// the kernel locks a trash's "info" and "files" folders apart, so the two
// halves of each move run side by side on two cores. Each info is still made
// with O_EXCL (its name reserved as by a move of its own) and the file is
// renamed in only after it exists; the writer runs at most kDepth files ahead,
// and a file it has not reached when the mover comes to it is moved the usual
// way (the writer skips it), so the mover never waits for a slower writer.
// An info whose file is not moved (passed over, refused, or the list ended
// early) is removed again; only a process killed in between can leave up to
// kDepth infos without a file, which Trash readers take as stale entries.
//
// Internal to the Trash moves (trash.cpp); the folders are TrashBatch's own and
// stay open and unchanged while the writer runs.

#include <QByteArray>
#include <QList>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace clarivex::cleaning {

// The name of an entry in a trash: `name` made to fit, with " (n)" from n = 2.
[[nodiscard]] QByteArray trashName(const QByteArray &name, int n);
// The "Path" value of a file in a trash whose paths are relative to `base` (empty: absolute).
[[nodiscard]] QByteArray infoPath(const QByteArray &path, const QByteArray &base);

class TrashInfoAhead
{
public:
    static constexpr qsizetype kDepth = 64;

    struct Place
    {
        dev_t device = 0;
        int infoFd = -1;             // the trash's "info" folder (not owned)
        QByteArray pathBase;         // "Path" values are relative to this; empty: absolute
        const void *trash = nullptr; // which trash, as the mover knows it
    };

    // `paths` absolute, `devices` the device of each (0: unknown, none written).
    TrashInfoAhead(QList<QByteArray> paths, QList<dev_t> devices, std::vector<Place> places);
    // Stops the writer and removes the infos not taken.
    ~TrashInfoAhead();
    TrashInfoAhead(const TrashInfoAhead &) = delete;
    TrashInfoAhead &operator=(const TrashInfoAhead &) = delete;

    // The name of the info written for `path` in `trash`, now the mover's to
    // use or remove; empty when none was. The files of the list passed over
    // to reach it lose theirs.
    [[nodiscard]] QByteArray take(const QByteArray &path, const void *trash);

private:
    struct Made
    {
        QByteArray name; // of the entry (the info is name + ".trashinfo"); empty: none
        const Place *place = nullptr;
    };
    void run();
    [[nodiscard]] Made write(qsizetype k, QByteArray &date, time_t &second) const;
    void remove(const Made &made) const;

    // Read by both threads, never changed (const: no copy-on-write detach).
    const QList<QByteArray> m_paths;
    const QList<dev_t> m_devices;
    const std::vector<Place> m_places;
    std::vector<Made> m_made;
    qsizetype m_written = 0;  // entries the writer is done with
    qsizetype m_taken = 0;    // entries the mover is done with
    qsizetype m_writing = -1; // the entry whose info is being written
    bool m_waiting = false;   // the writer waits for the mover
    bool m_stop = false;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread;
};

} // namespace clarivex::cleaning
