#include "gui/toolkit/busy_animation.h"

#include "gui/toolkit/artwork.h"

#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

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

void BusyAnimation::setClip(Clip clip)
{
    if (clip == m_clip) return;
    m_clip = clip;
    m_frame = 0;
    update();
}

void BusyAnimation::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_clip == Clip::Schedule)
        paintSchedule(p);
    else
        paintFindFile(p);
}

void BusyAnimation::paintSchedule(QPainter &p)
{
    static QSvgRenderer still([] {
        (void)artwork(QStringLiteral("schedule-clip")); // registers the pictures
        return QStringLiteral(":/icons/schedule-clip.svg");
    }());
    // The picture keeps its proportions, centred in the widget.
    const QSizeF size = QSizeF(still.defaultSize())
                            .scaled(QSizeF(rect().size()) - QSizeF(8, 8), Qt::KeepAspectRatio);
    const QRectF area(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    still.render(&p, area);
    // The clock's centre in the picture's own units (80 x 50), then its hands:
    // the long one goes round once in 36 frames, the short one a twelfth of that.
    const qreal scale = area.width() / 80.0;
    const QPointF centre = area.topLeft() + QPointF(55, 29) * scale;
    const qreal minute = m_frame * 10.0 * M_PI / 180.0 - M_PI / 2;
    const qreal hour = minute / 12.0 - M_PI / 3;
    p.setPen(QPen(QColor(0x17, 0x32, 0x5e), 1.6 * scale, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(std::cos(minute), std::sin(minute)) * 10.0 * scale);
    p.setPen(QPen(QColor(0x17, 0x32, 0x5e), 2.2 * scale, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(std::cos(hour), std::sin(hour)) * 6.5 * scale);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd6, 0x3a, 0x2f));
    p.drawEllipse(centre, 1.4 * scale, 1.4 * scale);
}

void BusyAnimation::paintFindFile(QPainter &p)
{
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
