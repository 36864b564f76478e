#include "gui/search/drives_summary_label.h"

#include "core/base/path_text.h"
#include "gui/search/disk_list_view.h"

#include <QStringList>

namespace clarivex {

DrivesSummaryLabel::DrivesSummaryLabel(QWidget *parent) : QLabel(parent)
{
    setWordWrap(true);
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    showDrives({});
}

void DrivesSummaryLabel::showDrives(const QList<QByteArray> &roots)
{
    m_summary = SelectedDrivesSummary(roots);
    if (roots.isEmpty()) {
        QLabel::setText(m_summary.toHtmlEscaped());
        setToolTip(QString());
        return;
    }
    const QString heading = m_summary.section(QChar(13), 0, 0);
    QString html = heading.toHtmlEscaped() + QStringLiteral("<br>");
    QStringList shown;
    for (const QByteArray &root : roots) {
        shown << displayText(root);
        html +=
            QStringLiteral("<nobr>") + shown.last().toHtmlEscaped() + QStringLiteral("</nobr> ");
    }
    QLabel::setText(html);
    setToolTip(shown.join(QLatin1Char('\n'))); // a path wider than the label is whole here
}

} // namespace clarivex
