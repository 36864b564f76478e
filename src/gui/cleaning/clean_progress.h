#pragma once

// The progress of a clean of many files: a window-modal dialog with the file
// being cleaned, a bar and Cancel. A clean of fewer than kShownFrom files is
// over before a dialog could help, and shows none. Between files it lets the
// window process its events (at most every few milliseconds), so that the
// window paints and Cancel answers.

#include <QByteArray>
#include <QPointer>
#include <QProgressDialog>

#include <functional>

class QWidget;

namespace clarivex::ui {

class CleanProgress
{
public:
    static constexpr qsizetype kShownFrom = 100;

    CleanProgress(QWidget *owner, qsizetype total);
    ~CleanProgress();
    CleanProgress(const CleanProgress &) = delete;
    CleanProgress &operator=(const CleanProgress &) = delete;

    // One step of the clean (`done` files finished, `current` in hand);
    // false once the user has cancelled.
    [[nodiscard]] bool step(qsizetype done, const QByteArray &current);
    [[nodiscard]] bool cancelled() const;
    [[nodiscard]] qsizetype total() const { return m_total; }
    [[nodiscard]] QProgressDialog *dialog() const { return m_dialog; }

private:
    QPointer<QProgressDialog> m_dialog;
    std::function<void()> m_pump;
    qsizetype m_total = 0;
    qsizetype m_shown = -1;
};

} // namespace clarivex::ui
