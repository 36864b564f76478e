#include "gui/shell/help_viewer.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace clarivex {

HelpViewer::HelpViewer(const QString &indexFile, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Clarivex 2000 Help"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true); // a web address goes to the desktop
    m_browser->setSearchPaths({QFileInfo(indexFile).absolutePath()});
    m_browser->setSource(QUrl::fromLocalFile(indexFile));
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        const QString own = QStringLiteral("Clarivex 2000 Help");
        setWindowTitle(title.isEmpty() || title == own ? own : title + QStringLiteral(" - ") + own);
    });
    emit m_browser->sourceChanged(m_browser->source());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *back = buttons->addButton(QStringLiteral("&Back"), QDialogButtonBox::ActionRole);
    QPushButton *home = buttons->addButton(QStringLiteral("&Home"), QDialogButtonBox::ActionRole);
    back->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(home, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser, 1);
    layout->addWidget(buttons);
    resize(640, 520);
}

} // namespace clarivex
