#include "support/scripted_notices.h"

#include <QDialog>

namespace clarivex::test {

void ScriptedNotices::record(const Request &request)
{
    m_requests.append(request);
    if (m_hook) m_hook(request);
}

QString ScriptedNotices::nextPath()
{
    if (m_paths.isEmpty()) {
        ++m_unanswered;
        return {};
    }
    return m_paths.dequeue();
}

void ScriptedNotices::information(QWidget *, const QString &caption, const QString &text,
                                  ui::NoticeIcon icon)
{
    record({Kind::Information, caption, text, icon, {}});
}

bool ScriptedNotices::confirm(QWidget *, const QString &caption, const QString &text,
                              ui::NoticeIcon icon)
{
    record({Kind::Confirm, caption, text, icon, {}});
    if (m_confirms.isEmpty()) {
        ++m_unanswered;
        return false;
    }
    return m_confirms.dequeue();
}

bool ScriptedNotices::confirmForGood(QWidget *, const QString &caption, const QString &text,
                                     ui::NoticeIcon icon)
{
    record({Kind::Confirm, caption, text, icon, {}, true});
    if (m_confirms.isEmpty()) {
        ++m_unanswered;
        return false;
    }
    return m_confirms.dequeue();
}

QString ScriptedNotices::openFileName(QWidget *, const ui::FileDialogRequest &request)
{
    record({Kind::OpenFile, request.caption, request.filter, ui::NoticeIcon::None, request});
    return nextPath();
}

QString ScriptedNotices::saveFileName(QWidget *, const ui::FileDialogRequest &request)
{
    record({Kind::SaveFile, request.caption, request.filter, ui::NoticeIcon::None, request});
    return nextPath();
}

QString ScriptedNotices::existingFolder(QWidget *, const QString &caption,
                                        const QString &startFolder)
{
    ui::FileDialogRequest request;
    request.caption = caption;
    request.directory = startFolder;
    record({Kind::Folder, caption, QString(), ui::NoticeIcon::None, request});
    return nextPath();
}

ScopedNotices::ScopedNotices()
{
    auto notices = std::make_unique<ScriptedNotices>();
    m_notices = notices.get();
    m_previous = ui::installNoticeService(std::move(notices));
}

ScopedNotices::~ScopedNotices()
{
    ui::installNoticeService(std::move(m_previous));
}

QUrl ScriptedNotices::existingFolderUrl(QWidget *, const QString &caption,
                                        const QString &startFolder)
{
    ui::FileDialogRequest request;
    request.caption = caption;
    request.directory = startFolder;
    record({Kind::Folder, caption, QString(), ui::NoticeIcon::None, request});
    const QString answer = nextPath();
    if (answer.isEmpty()) return {};
    return answer.contains(QLatin1String("://")) ? QUrl(answer) : QUrl::fromLocalFile(answer);
}

std::optional<QString> ScriptedNotices::inputText(QWidget *, const QString &caption,
                                                  const QString &prompt, const QString &initial)
{
    ui::FileDialogRequest request;
    request.directory = initial; // the text the box starts with
    record({Kind::Input, caption, prompt, ui::NoticeIcon::None, request});
    if (m_texts.isEmpty()) {
        ++m_unanswered;
        return std::nullopt;
    }
    return m_texts.dequeue();
}

void ScriptedNotices::showDialog(QDialog &dialog, const QString &summary)
{
    record({Kind::Dialog, dialog.windowTitle(), summary, ui::NoticeIcon::None, {}});
}

} // namespace clarivex::test
