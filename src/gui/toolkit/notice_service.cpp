#include "gui/toolkit/notice_service.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace clarivex::ui {

namespace {

std::unique_ptr<NoticeService> &installed()
{
    static std::unique_ptr<NoticeService> service;
    return service;
}

QMessageBox::Icon boxIcon(NoticeIcon icon)
{
    switch (icon) {
    case NoticeIcon::Information:
        return QMessageBox::Information;
    case NoticeIcon::Warning:
        return QMessageBox::Warning;
    case NoticeIcon::Error:
        return QMessageBox::Critical;
    case NoticeIcon::Question:
        return QMessageBox::Question;
    case NoticeIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QString runFileDialog(QWidget *parent, const FileDialogRequest &request, bool save)
{
    // Without a folder of its own a dialog starts in the home folder, never in
    // whatever folder the program happened to be started from.
    const QString directory = request.directory.isEmpty() ? QDir::homePath() : request.directory;
    QFileDialog dialog(parent, request.caption, directory, request.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !request.mustExist ? QFileDialog::AnyFile
                                                  : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

NoticeService::~NoticeService() = default;

void QtNoticeService::information(QWidget *parent, const QString &caption, const QString &text,
                                  NoticeIcon icon)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtNoticeService::confirm(QWidget *parent, const QString &caption, const QString &text,
                              NoticeIcon icon)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool NoticeService::confirmForGood(QWidget *parent, const QString &caption, const QString &text,
                                   NoticeIcon icon)
{
    return confirm(parent, caption, text, icon);
}

bool QtNoticeService::confirmForGood(QWidget *parent, const QString &caption, const QString &text,
                                     NoticeIcon icon)
{
    QMessageBox box(boxIcon(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString QtNoticeService::openFileName(QWidget *parent, const FileDialogRequest &request)
{
    return runFileDialog(parent, request, false);
}

QString QtNoticeService::saveFileName(QWidget *parent, const FileDialogRequest &request)
{
    return runFileDialog(parent, request, true);
}

QString QtNoticeService::existingFolder(QWidget *parent, const QString &caption,
                                        const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(parent, caption, startFolder,
                                             QFileDialog::ShowDirsOnly);
}

QUrl NoticeService::existingFolderUrl(QWidget *parent, const QString &caption,
                                      const QString &startFolder)
{
    const QString folder = existingFolder(parent, caption, startFolder);
    return folder.isEmpty() ? QUrl() : QUrl::fromLocalFile(folder);
}

QUrl QtNoticeService::existingFolderUrl(QWidget *parent, const QString &caption,
                                        const QString &startFolder)
{
    // Places the desktop offers beyond local folders come back as they are.
    return QFileDialog::getExistingDirectoryUrl(
        parent, caption, QUrl::fromLocalFile(startFolder), QFileDialog::ShowDirsOnly,
        {QStringLiteral("smb"), QStringLiteral("sftp"), QStringLiteral("ftp"),
         QStringLiteral("trash"), QStringLiteral("network"), QStringLiteral("recent")});
}

std::optional<QString> QtNoticeService::inputText(QWidget *parent, const QString &caption,
                                                  const QString &prompt, const QString &initial)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

void QtNoticeService::showDialog(QDialog &dialog, const QString &)
{
    dialog.exec();
}

NoticeService &notices()
{
    auto &service = installed();
    if (!service) service = std::make_unique<QtNoticeService>();
    return *service;
}

std::unique_ptr<NoticeService> installNoticeService(std::unique_ptr<NoticeService> service)
{
    auto previous = std::move(installed());
    installed() = std::move(service);
    return previous;
}

} // namespace clarivex::ui
