#include "gui/utilities/system_tools_page.h"

#include "core/utilities/system_tools.h"
#include "gui/toolkit/artwork.h"
#include "gui/toolkit/notice_service.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace clarivex {

TSystemToolsPage::TSystemToolsPage(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto *intro = new QLabel(
        QStringLiteral("Select the system utility you want to run to help tune your system"), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addSpacing(8);

    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    const struct
    {
        const char *name;
        const char *icon;
        QToolButton **slot;
        int tag;
    } buttons[] = {
        {"btnDiskDefragmenter", "disk-defragmenter", &btnDiskDefragmenter, 10},
        {"btnScanDisk", "scandisk", &btnScanDisk, 11},
        {"btnRegistryEditor", "registry-editor", &btnRegistryEditor, 12},
    };
    for (const auto &spec : buttons) {
        auto *b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(spec.name));
        b->setText(systemToolForTag(spec.tag)->caption);
        b->setIcon(ui::artwork(QString::fromLatin1(spec.icon)));
        b->setIconSize(QSize(48, 48));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setMinimumHeight(96);
        b->setProperty("tag", spec.tag);
        *spec.slot = b;
        const int tag = spec.tag;
        connect(b, &QToolButton::clicked, this, [this, tag] { btnDiskDefragmenterClick(tag); });
        row->addWidget(b);
    }
    layout->addLayout(row);
    layout->addStretch(1);
}

void TSystemToolsPage::btnDiskDefragmenterClick(int tag)
{
    if (RunProgram(programPathForTag(tag))) return;
    const QString message = failureMessageForTag(tag, IsWindowsNT());
    if (!message.isEmpty())
        ui::notices().information(this, QStringLiteral("Clarivex 2000"), message);
}

} // namespace clarivex
