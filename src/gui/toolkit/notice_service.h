#pragma once

// Every modal notice, Yes/No question and file or folder dialog of the
// program goes through one NoticeService. The program installs
// QtNoticeService (message boxes and file dialogs); tests install a scripted
// service that records each request and gives the answers the test chose
// (tests/support/scripted_notices.h).

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class QDialog;
class QWidget;

namespace clarivex::ui {

enum class NoticeIcon { None, Information, Warning, Error, Question };

// A file-open or file-save dialog.
struct FileDialogRequest
{
    QString caption;
    QString directory;     // where the dialog starts; a file name preselects it
    QString filter;        // Qt form, e.g. "WAV Files (*.wav)"
    QString defaultSuffix; // added to a typed name without one, e.g. "wav"
    bool mustExist = true; // open: only an existing file in an existing folder
};

class NoticeService
{
public:
    virtual ~NoticeService();

    // A modal message with one OK button.
    virtual void information(QWidget *parent, const QString &caption, const QString &text,
                             NoticeIcon icon = NoticeIcon::Information) = 0;
    // A modal question with Yes and No; true for Yes. Closing the box is No.
    [[nodiscard]] virtual bool confirm(QWidget *parent, const QString &caption, const QString &text,
                                       NoticeIcon icon = NoticeIcon::Question) = 0;
    // The same for a question whose Yes cannot be undone (a file deleted for
    // good): No is the default button, so Enter keeps everything.
    [[nodiscard]] virtual bool confirmForGood(QWidget *parent, const QString &caption,
                                              const QString &text,
                                              NoticeIcon icon = NoticeIcon::Warning);
    // The chosen file's full path; empty when cancelled.
    [[nodiscard]] virtual QString openFileName(QWidget *parent,
                                               const FileDialogRequest &request) = 0;
    [[nodiscard]] virtual QString saveFileName(QWidget *parent,
                                               const FileDialogRequest &request) = 0;
    // The chosen folder; empty when cancelled.
    [[nodiscard]] virtual QString existingFolder(QWidget *parent, const QString &caption,
                                                 const QString &startFolder) = 0;
    // The chosen place, which need not be a local folder (a network place, the
    // Trash); empty when cancelled. By default: existingFolder as a local URL.
    [[nodiscard]] virtual QUrl existingFolderUrl(QWidget *parent, const QString &caption,
                                                 const QString &startFolder);
    // A one-line text asked for in a small box; nothing when cancelled.
    [[nodiscard]] virtual std::optional<QString> inputText(QWidget *parent, const QString &caption,
                                                           const QString &prompt,
                                                           const QString &initial) = 0;
    // Shows one of the program's own modal dialogs; `summary` says what it
    // shows (tests read it).
    virtual void showDialog(QDialog &dialog, const QString &summary) = 0;
};

// The real dialogs.
class QtNoticeService : public NoticeService
{
public:
    void information(QWidget *parent, const QString &caption, const QString &text,
                     NoticeIcon icon = NoticeIcon::Information) override;
    bool confirm(QWidget *parent, const QString &caption, const QString &text,
                 NoticeIcon icon = NoticeIcon::Question) override;
    bool confirmForGood(QWidget *parent, const QString &caption, const QString &text,
                        NoticeIcon icon = NoticeIcon::Warning) override;
    QString openFileName(QWidget *parent, const FileDialogRequest &request) override;
    QString saveFileName(QWidget *parent, const FileDialogRequest &request) override;
    QString existingFolder(QWidget *parent, const QString &caption,
                           const QString &startFolder) override;
    QUrl existingFolderUrl(QWidget *parent, const QString &caption,
                           const QString &startFolder) override;
    std::optional<QString> inputText(QWidget *parent, const QString &caption, const QString &prompt,
                                     const QString &initial) override;
    void showDialog(QDialog &dialog, const QString &summary) override;
};

// The service in use: QtNoticeService until another one is installed.
NoticeService &notices();
// Installs a service and returns the previous one (nullptr: the real dialogs).
std::unique_ptr<NoticeService> installNoticeService(std::unique_ptr<NoticeService> service);

} // namespace clarivex::ui
