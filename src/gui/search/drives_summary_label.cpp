#include "gui/search/drives_summary_label.h"

#include "core/base/path_text.h"
#include "gui/search/disk_list_view.h"

#include <QResizeEvent>
#include <QStringList>

#include <algorithm>
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
    m_roots.clear();
    for (const QByteArray &root : roots)
        m_roots << displayText(root);
    setToolTip(m_roots.join(QLatin1Char('\n')));
    render();
}

void DrivesSummaryLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    if (event->size().width() != event->oldSize().width()) render();
}

void DrivesSummaryLabel::render()
{
    if (m_roots.isEmpty()) {
        QLabel::setText(m_summary.toHtmlEscaped());
        return;
    }
    // Each root whole on its line: one wider than the label loses its middle
    // ("/mnt/…/python"), never a line break inside it.
    const int width = std::max(40, contentsRect().width() - 2);
    QString html = m_summary.section(QChar(13), 0, 0).toHtmlEscaped();
    for (const QString &root : m_roots) {
        const QString shown = fontMetrics().elidedText(root, Qt::ElideMiddle, width);
        html += QStringLiteral("<br><nobr>") + shown.toHtmlEscaped() + QStringLiteral("</nobr>");
    }
    QLabel::setText(html);
}

} // namespace clarivex
