#include "gui/shell/second_start.h"

#include "core/platform/copy_data.h"
#include "core/platform/single_instance.h"
#include "gui/toolkit/notice_service.h"

#include <cstdio>

namespace clarivex {

int AnswerSecondStart(int waitMs)
{
    const platform::CopyDataResult result = platform::sendCopyData(
        QString::fromLatin1(platform::kMainWindowClass), platform::comeForwardBlock(), waitMs);
    if (result.delivered()) return 0;
    const QString text = QStringLiteral("Clarivex 2000 is already running, but it did not answer "
                                        "within %1 seconds. End the running instance and start "
                                        "the program again.")
                             .arg(waitMs / 1000.0);
    std::fprintf(stderr, "clarivex: %s\n", text.toLocal8Bit().constData());
    ui::notices().information(nullptr, QString::fromLatin1(platform::kProgramTitle), text,
                              ui::NoticeIcon::Warning);
    return 1;
}

} // namespace clarivex
