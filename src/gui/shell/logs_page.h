#pragma once

// The "Logs" page: the event history in a two-column list ("Date & Time",
// "Event"), the switch "Log Events" and the button "Clear Logs". Rows stay in
// the order they were added until a column header is clicked; a click sorts
// by that column, a second click on the same column reverses the order.

#include "core/base/settings_types.h"
#include "core/shell/event_log.h"

#include <QWidget>

class QCheckBox;
class QPushButton;
class QTreeView;

namespace clarivex {

class LogListModel;

class TLogsPage : public QWidget
{
    Q_OBJECT
public:
    explicit TLogsPage(const QString &logFilePath = EventLog::defaultFilePath(),
                       QWidget *parent = nullptr);

    void loadSettings(const GeneralOptions &options);
    void saveSettings(GeneralOptions &options) const;

    // Reads the log file into the list (creating an empty file when there is
    // none), replacing the rows shown. Throws EventLogError; the list is then
    // left as it was.
    void loadLog();
    // WriteLogEvent of the window: with "Log Events" on, a row here and a line
    // in the file. Throws EventLogError when the file fails (the row stays).
    void WriteLogEvent(const QString &text);
    // The hook EventLog::WriteLogEvent calls with the new row.
    void addRow(const LogEntry &entry);
    // "Clear Logs": empties the list and deletes the file, without asking. A
    // file that cannot be deleted stays; the list is empty all the same.
    void btnClearLogsClick();

    EventLog &eventLog() { return m_log; }
    // The rows in the order shown.
    QList<LogEntry> rows() const;
    int sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_ascending; }
    // A click on a column header.
    void columnClicked(int column);

    QCheckBox *cbLogEvents = nullptr;
    QPushButton *btnClearLogs = nullptr;
    // Over a compact model: a large log costs about its own size.
    QTreeView *ListViewLogs = nullptr;

private:
    EventLog m_log;
    LogListModel *m_model = nullptr;
    // Rows stay in the order they were added until a header is clicked. The
    // sort starts as "Event, ascending", so a first click on "Event" sorts
    // it descending, as in the found-file list.
    int m_sortColumn = 1;
    bool m_ascending = true;
};

} // namespace clarivex
