#include "gui/cleaning/file_properties_dialog.h"

#include "core/base/formats.h"
#include "gui/toolkit/eliding_label.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace clarivex::ui {

namespace {

QString timeText(const QDateTime &time)
{
    return time.isValid() ? formatDateTime(time) : QStringLiteral("(not kept)");
}

} // namespace

TFilePropertiesDialog::TFilePropertiesDialog(const cleaning::FileProperties &p,
                                             const QString &foundIn, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FilePropertiesDialog"));
    setWindowTitle(QStringLiteral("%1 Properties").arg(p.name));
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    const auto row = [&](const QString &caption, const QString &value) {
        auto *label = new ui::ElidingLabel(value);
        label->setObjectName(caption.chopped(1));
        form->addRow(caption, label);
        m_summary += caption + QLatin1Char('\t') + value + QLatin1Char('\n');
    };
    row(QStringLiteral("Name:"), p.name);
    row(QStringLiteral("Folder:"), p.folder);
    row(QStringLiteral("Size:"), cleaning::sizeText(p.size));
    row(QStringLiteral("Type:"),
        p.mimeDescription.isEmpty() ? p.mimeType
                                    : QStringLiteral("%1 (%2)").arg(p.mimeDescription, p.mimeType));
    row(QStringLiteral("Owner:"), p.owner + QLatin1Char(':') + p.group);
    row(QStringLiteral("Permissions:"), p.modeText);
    row(QStringLiteral("Modified:"), timeText(p.modified));
    row(QStringLiteral("Accessed:"), timeText(p.accessed));
    row(p.createdIsChange ? QStringLiteral("Changed:") : QStringLiteral("Created:"),
        timeText(p.created));
    if (!foundIn.isEmpty()) row(QStringLiteral("Found in:"), foundIn);
    if (!p.fileVersion.isEmpty()) row(QStringLiteral("File version:"), p.fileVersion);
    if (!p.productVersion.isEmpty()) row(QStringLiteral("Product version:"), p.productVersion);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

} // namespace clarivex::ui
