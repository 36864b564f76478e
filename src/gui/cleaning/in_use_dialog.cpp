#include "gui/cleaning/in_use_dialog.h"

#include "core/cleaning/clean_texts.h"
#include "gui/shell/error_dialog.h"
#include "gui/toolkit/notice_service.h"

#include <QFile>
#include <QStringList>

namespace clarivex::ui {

void showInUseDialog(QWidget *parent, const QList<QByteArray> &paths)
{
    QStringList lines;
    for (const QByteArray &path : paths)
        lines << QFile::decodeName(path);
    TClarivexShowError dialog(parent);
    dialog.setLinkVisible(false);
    dialog.setTitle(QString::fromLatin1(cleaning::texts::kInUseTitle));
    dialog.setMessage(QString::fromLatin1(cleaning::texts::kInUseMessage));
    dialog.setErrorText(lines.join(QLatin1Char('\n')));
    notices().showDialog(dialog, dialog.message() + QLatin1Char('\n') + dialog.errorText());
}

} // namespace clarivex::ui
