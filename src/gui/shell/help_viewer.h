#pragma once

// The help in a window of the program's own, for a desktop where no browser
// opens it: the help is plain HTML, which a text browser shows with its links
// and pictures. Links that leave the help go to the desktop.

#include <QDialog>

class QTextBrowser;

namespace clarivex {

class HelpViewer : public QDialog
{
    Q_OBJECT
public:
    explicit HelpViewer(const QString &indexFile, QWidget *parent = nullptr);

    QTextBrowser *browser() const { return m_browser; }

private:
    QTextBrowser *m_browser = nullptr;
};

} // namespace clarivex
