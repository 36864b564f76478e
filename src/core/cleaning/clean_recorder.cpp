#include "core/cleaning/clean_history.h"

#include <QDir>
#include <QFile>

namespace clarivex::cleaning {

namespace {

// Undo works from the recorded paths long after the clean, from another
// folder: a relative path (a command line run from some folder) is made
// absolute.
QByteArray absolute(const QByteArray &path)
{
    if (path.isEmpty() || path.startsWith('/')) return path;
    return QFile::encodeName(QDir::currentPath()) + '/' + path;
}

HistoryFile withAbsolutePaths(HistoryFile file)
{
    file.path = absolute(file.path);
    file.place = absolute(file.place);
    if (file.where != Whereabouts::Archived && file.where != Whereabouts::Linked)
        file.detail = absolute(file.detail); // not an entry name, nor a kind of link
    return file;
}

} // namespace

CleanRecorder::CleanRecorder(CleanHistory &history, CleanTrigger trigger)
    : m_history(history), m_trigger(trigger)
{
}

CleanRecorder::~CleanRecorder()
{
    finish();
}

void CleanRecorder::start(HistoryMode mode, const QByteArray &destination)
{
    m_mode = mode;
    m_destination = absolute(destination);
    m_started = true;
}

void CleanRecorder::beforeFiles(const QList<HistoryFile> &files, qsizetype first, qsizetype count)
{
    if (!m_started || m_finished) return;
    if (m_clean == 0) {
        if (!m_error.isEmpty()) return; // the entry could not be made: the clean goes on without
        if (!m_history.isOpen()) {
            m_error = m_history.error();
            return;
        }
        (void)m_history.pruneBefore(
            QDateTime::currentDateTime().addDays(-CleanHistory::keepDays()));
        m_clean = m_history.beginClean(m_mode, m_trigger, m_destination);
        if (m_clean == 0) {
            m_error =
                QStringLiteral("the clean history %1 could not be written").arg(m_history.path());
            return;
        }
    }
    if (m_ids.size() < files.size()) m_ids.resize(files.size(), 0);
    first = qMax(first, m_plannedUpTo);
    const qsizetype end = qMin(files.size(), first + count);
    QList<HistoryFile> begun;
    begun.reserve(end - first);
    for (qsizetype i = first; i < end; ++i)
        begun << withAbsolutePaths(files[i]);
    QList<qint64> ids;
    if (!m_history.writeBatch(m_clean, m_pending, begun, &ids)) {
        m_error = QStringLiteral("the clean history %1 could not be written").arg(m_history.path());
        return;
    }
    m_pending.clear();
    for (qsizetype k = 0; k < ids.size(); ++k)
        m_ids[first + k] = ids[k];
    m_plannedUpTo = qMax(m_plannedUpTo, end);
}

void CleanRecorder::beforeFile(const QList<HistoryFile> &files, qsizetype index)
{
    if (index >= m_plannedUpTo) beforeFiles(files, index, kBatch);
}

void CleanRecorder::after(qsizetype index, HistoryFile outcome)
{
    if (index < 0 || index >= m_ids.size() || m_ids[index] == 0) return;
    outcome.id = m_ids[index];
    m_pending << withAbsolutePaths(std::move(outcome));
}

void CleanRecorder::finish()
{
    if (m_finished) return;
    m_finished = true;
    if (m_clean == 0) return;
    if (!m_pending.isEmpty() && !m_history.writeBatch(m_clean, m_pending, {}))
        m_error = QStringLiteral("the clean history %1 could not be written").arg(m_history.path());
    m_pending.clear();
    (void)m_history.finishClean(m_clean);
}

} // namespace clarivex::cleaning
