#pragma once

// The "Dead Links" page: shows the favorites folder, read only. No scan works
// on it, and no side-bar item or menu shows it.

#include <QWidget>

class QLineEdit;

namespace clarivex {

class TDeadLinksPage : public QWidget
{
    Q_OBJECT
public:
    explicit TDeadLinksPage(QWidget *parent = nullptr);

    // Fills the folder from the system (the settings load does this).
    void fillFolder();

    QLineEdit *txtDeadLinksPath = nullptr;
};

} // namespace clarivex
