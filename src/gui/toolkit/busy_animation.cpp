#include "gui/toolkit/busy_animation.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace clarivex::ui {

BusyAnimation::BusyAnimation(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Animate"));
    m_timer.setInterval(60);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % 36;
        update();
    });
}

void BusyAnimation::setActive(bool active)
{
    if (active == isActive()) return;
    if (active) {
        m_timer.start();
    } else {
        m_timer.stop();
        m_frame = 0;
    }
    update();
}

void BusyAnimation::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    const qreal h = std::min(area.height(), area.width() * 0.6);
    const QRectF folder(area.center().x() - h * 0.8, area.center().y() - h * 0.35, h * 1.6,
                        h * 0.9);
    QColor folderColour =
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Highlight);
    folderColour.setAlpha(isActive() ? 200 : 90);
    QPainterPath tab;
    tab.addRoundedRect(
        QRectF(folder.left(), folder.top() - h * 0.15, folder.width() * 0.4, h * 0.3), 2, 2);
    p.fillPath(tab, folderColour);
    p.setPen(Qt::NoPen);
    p.setBrush(folderColour);
    p.drawRoundedRect(folder, 3, 3);

    // The magnifier moves on a small circle while the animation runs.
    const qreal angle = m_frame * 10.0 * M_PI / 180.0;
    const qreal r = h * 0.22;
    const QPointF lens =
        folder.center() + QPointF(std::cos(angle) * h * 0.3, std::sin(angle) * h * 0.15);
    QPen pen(palette().color(QPalette::WindowText), 2.5);
    p.setPen(pen);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(lens, r, r);
    p.drawLine(lens + QPointF(r * 0.7, r * 0.7), lens + QPointF(r * 1.6, r * 1.6));
}

} // namespace clarivex::ui
