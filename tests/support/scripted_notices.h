#pragma once

// A NoticeService for tests: it records every notice, question and dialog the
// code under test raises and answers from the answers the test queued. A
// request with no queued answer is counted in unanswered() and given the
// cautious answer (No, or cancel), so a test can check that nothing was
// asked that it did not expect.
//
//   ScopedNotices notices;            // installed until the end of the scope
//   notices->queueConfirm(true);
//   ...code that asks...
//   QCOMPARE(notices->requests().size(), 1);

#include "gui/toolkit/notice_service.h"

#include <QList>
#include <QQueue>

#include <functional>

namespace clarivex::test {

class ScriptedNotices : public ui::NoticeService
{
public:
    enum class Kind { Information, Confirm, OpenFile, SaveFile, Folder, Dialog, Input };
    struct Request
    {
        Kind kind;
        QString caption;
        QString text; // the message, the file filter, or a dialog's summary
        ui::NoticeIcon icon = ui::NoticeIcon::None;
        ui::FileDialogRequest file;
        bool defaultNo = false; // a question whose Yes cannot be undone
    };

    void queueConfirm(bool yes) { m_confirms.enqueue(yes); }
    // A path for the next file or folder dialog; an empty text cancels it.
    void queuePath(const QString &path) { m_paths.enqueue(path); }
    // The answer to the next text box; nothing cancels it.
    void queueText(std::optional<QString> text) { m_texts.enqueue(text); }

    const QList<Request> &requests() const { return m_requests; }
    int unanswered() const { return m_unanswered; }
    // Runs for every request as it is raised (while the dialog would be open).
    void setOnRequest(std::function<void(const Request &)> hook) { m_hook = std::move(hook); }

    void information(QWidget *, const QString &caption, const QString &text,
                     ui::NoticeIcon icon = ui::NoticeIcon::Information) override;
    bool confirm(QWidget *, const QString &caption, const QString &text,
                 ui::NoticeIcon icon = ui::NoticeIcon::Question) override;
    bool confirmForGood(QWidget *, const QString &caption, const QString &text,
                        ui::NoticeIcon icon = ui::NoticeIcon::Warning) override;
    QString openFileName(QWidget *, const ui::FileDialogRequest &request) override;
    QString saveFileName(QWidget *, const ui::FileDialogRequest &request) override;
    QString existingFolder(QWidget *, const QString &caption, const QString &startFolder) override;
    // A queued text with "://" is a place that is not a local folder.
    QUrl existingFolderUrl(QWidget *, const QString &caption, const QString &startFolder) override;
    std::optional<QString> inputText(QWidget *, const QString &caption, const QString &prompt,
                                     const QString &initial) override;
    // Records the dialog's title and summary; it is not shown.
    void showDialog(QDialog &dialog, const QString &summary) override;

private:
    void record(const Request &request);
    QString nextPath();

    QList<Request> m_requests;
    QQueue<bool> m_confirms;
    QQueue<QString> m_paths;
    QQueue<std::optional<QString>> m_texts;
    int m_unanswered = 0;
    std::function<void(const Request &)> m_hook;
};

// Installs a ScriptedNotices for the life of the object, then puts the
// previous service back.
class ScopedNotices
{
public:
    ScopedNotices();
    ~ScopedNotices();
    ScopedNotices(const ScopedNotices &) = delete;
    ScopedNotices &operator=(const ScopedNotices &) = delete;

    ScriptedNotices *operator->() const { return m_notices; }
    ScriptedNotices &operator*() const { return *m_notices; }

private:
    ScriptedNotices *m_notices = nullptr; // owned by the installed slot
    std::unique_ptr<ui::NoticeService> m_previous;
};

} // namespace clarivex::test
