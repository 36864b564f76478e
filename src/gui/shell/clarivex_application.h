#pragma once

// The application object of the main program. An error that no operation
// caught ends that operation only: it is shown by the error dialog and the
// program goes on.

#include <QApplication>

#include <functional>

namespace clarivex {

class ClarivexApplication : public QApplication
{
    Q_OBJECT
public:
    ClarivexApplication(int &argc, char **argv);

    // Shows an uncaught error (the main window's ShowErrorDialog).
    std::function<void(const QString &message)> errorHandler;

    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace clarivex
