#include "core/cleaning/trash_info_ahead.h"

#include "core/cleaning/entry_names.h"
#include "core/cleaning/trash.h"
#include "core/cleaning/unique_fd.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace clarivex::cleaning {

TrashInfoAhead::TrashInfoAhead(QList<QByteArray> paths, QList<dev_t> devices,
                               std::vector<Place> places)
    : m_paths(std::move(paths)), m_devices(std::move(devices)), m_places(std::move(places)),
      m_made(size_t(m_paths.size()))
{
    m_thread = std::thread([this] { run(); });
}

TrashInfoAhead::~TrashInfoAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
    for (qsizetype k = m_taken; k < m_written; ++k)
        remove(m_made[size_t(k)]);
}

void TrashInfoAhead::remove(const Made &made) const
{
    if (!made.name.isEmpty())
        ::unlinkat(made.place->infoFd, (made.name + ".trashinfo").constData(), 0);
}

TrashInfoAhead::Made TrashInfoAhead::write(qsizetype k, QByteArray &date, time_t &second) const
{
    const QByteArray &path = m_paths[k];
    const Place *place = nullptr;
    for (const Place &candidate : m_places) {
        if (m_devices[k] != 0 && candidate.device == m_devices[k]) place = &candidate;
    }
    const PathParts parts = splitPath(path);
    if (!place || !path.startsWith('/') || parts.name.isEmpty() || parts.name == "." ||
        parts.name == "..")
        return {};
    const time_t now = ::time(nullptr);
    if (now != second) {
        second = now;
        date = trashInfoDate(QDateTime::fromSecsSinceEpoch(now));
    }
    const QByteArray text =
        "[Trash Info]\nPath=" +
        infoPath(joinPath(parts.folder, parts.name), place->pathBase).toPercentEncoding("/") +
        "\nDeletionDate=" + date + '\n';
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const QByteArray name = trashName(parts.name, n);
        const UniqueFd fd(::openat(place->infoFd, (name + ".trashinfo").constData(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid() && errno == EEXIST) continue;
        if (!fd.valid()) return {}; // the move itself meets the error and reports it
        if (::write(fd.get(), text.constData(), size_t(text.size())) != text.size()) {
            ::unlinkat(place->infoFd, (name + ".trashinfo").constData(), 0);
            return {};
        }
        return {name, place};
    }
    return {};
}

void TrashInfoAhead::run()
{
    QByteArray date;
    time_t second = -1;
    for (qsizetype k = 0; k < m_paths.size(); ++k) {
        {
            std::unique_lock lock(m_mutex);
            if (k - m_taken >= kDepth) {
                // Far enough ahead: wait until the mover used half of the lead.
                m_waiting = true;
                m_changed.wait(lock, [&] { return m_stop || k - m_taken <= kDepth / 2; });
                m_waiting = false;
            }
            if (m_stop) return;
            k = std::max(k, m_taken); // the mover went past these without their infos
            if (k >= m_paths.size()) return;
            m_writing = k;
        }
        Made made = write(k, date, second);
        bool wanted = true;
        {
            const std::lock_guard lock(m_mutex);
            wanted = k >= m_taken;
            if (wanted) m_made[size_t(k)] = made;
            m_written = k + 1;
            m_writing = -1;
        }
        if (!wanted) remove(made);
        m_changed.notify_all();
    }
}

QByteArray TrashInfoAhead::take(const QByteArray &path, const void *trash)
{
    std::unique_lock lock(m_mutex);
    qsizetype found = -1;
    for (qsizetype k = m_taken; k < m_paths.size() && k < m_taken + kDepth; ++k) {
        if (m_paths[k] == path) {
            found = k;
            break;
        }
    }
    if (found < 0) return {};
    // An info being written is waited for; one not begun yet is left to the
    // move itself (the writer skips it), so that one core never takes turns.
    m_changed.wait(lock, [&] { return m_writing != found; });
    for (qsizetype k = m_taken; k < std::min(found, m_written); ++k)
        remove(m_made[size_t(k)]);
    const Made made = found < m_written ? m_made[size_t(found)] : Made{};
    m_taken = found + 1;
    const bool wake = m_waiting && m_written - m_taken <= kDepth / 2;
    lock.unlock();
    if (wake) m_changed.notify_all();
    if (made.name.isEmpty()) return {};
    if (made.place->trash != trash) {
        remove(made);
        return {};
    }
    return made.name;
}

} // namespace clarivex::cleaning
