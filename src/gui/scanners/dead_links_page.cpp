#include "gui/scanners/dead_links_page.h"

#include "core/scanners/well_known_folders.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace clarivex {

TDeadLinksPage::TDeadLinksPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Internet Explorer Favorites Path:"), this));
    txtDeadLinksPath = new QLineEdit(this);
    txtDeadLinksPath->setObjectName(QStringLiteral("txtDeadLinksPath"));
    txtDeadLinksPath->setReadOnly(true);
    layout->addWidget(txtDeadLinksPath);
    layout->addStretch(1);
}

void TDeadLinksPage::fillFolder()
{
    txtDeadLinksPath->setText(GetShellFolder(QStringLiteral("FAVORITES")));
}

} // namespace clarivex
