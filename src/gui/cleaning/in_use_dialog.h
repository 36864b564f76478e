#pragma once

// The dialog that lists the files a clean left alone because they are in use.

#include <QByteArray>
#include <QList>

class QWidget;

namespace clarivex::ui {

// Shows the error dialog with the in-use title and message and one path a
// line, through the notice service.
void showInUseDialog(QWidget *parent, const QList<QByteArray> &paths);

} // namespace clarivex::ui
