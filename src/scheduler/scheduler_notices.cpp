#include "scheduler/scheduler_notices.h"

#include "scheduler/scheduler_texts.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

namespace clarivex::scheduler {

namespace {

bool nobodyCanSee()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

} // namespace

void showNotice(const QString &text, NoticeKind kind)
{
    if (nobodyCanSee()) {
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        std::fprintf(stderr, "clarivex-scheduler: %s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
        return;
    }
    QMessageBox box(kind == NoticeKind::Information ? QMessageBox::Information
                                                    : QMessageBox::NoIcon,
                    QString::fromLatin1(kTitle), text, QMessageBox::Ok);
    box.exec();
}

} // namespace clarivex::scheduler
