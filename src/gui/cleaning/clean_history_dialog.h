#pragma once

// "Clean History": the cleans of the history, newest first (time, mode, what
// started it, files, bytes, how many can still be put back), and Undo for the
// chosen one, with a progress bar while a large undo runs.

#include "core/cleaning/clean_history.h"

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace clarivex::ui {

class CleanHistoryDialog : public QDialog
{
    Q_OBJECT

public:
    // `undo` runs the undo of a clean, reporting (done, total) through the
    // callback it is given; it returns the line to show under the list.
    using UndoRunner = std::function<QString(
        qint64 clean, const std::function<bool(qsizetype done, qsizetype total)> &progress)>;

    CleanHistoryDialog(QWidget *parent, UndoRunner undo);

    // Reads the history again.
    void reload();
    [[nodiscard]] QTreeWidget *list() const { return m_list; }
    [[nodiscard]] QPushButton *undoButton() const { return m_undo; }
    [[nodiscard]] QLabel *statusLabel() const { return m_status; }

private:
    void undoChosen();

    UndoRunner m_runner;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_undo = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
};

} // namespace clarivex::ui
