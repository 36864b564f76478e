#include "gui/toolkit/banner_menu.h"

#include <QLinearGradient>
#include <QPainter>

namespace clarivex::ui {

BannerMenu::BannerMenu(QWidget *parent) : QMenu(parent)
{
    setContentsMargins(kBannerWidth, 0, 0, 0);
    setSeparatorsCollapsible(false);
    setToolTipsVisible(true);
}

void BannerMenu::paintEvent(QPaintEvent *event)
{
    QMenu::paintEvent(event);
    QPainter p(this);
    const QRect banner(0, 0, kBannerWidth, height());
    QLinearGradient gradient(banner.bottomLeft(), banner.topLeft());
    gradient.setColorAt(0, QColor(0, 0, 128));
    gradient.setColorAt(1, QColor(70, 110, 200));
    p.fillRect(banner, gradient);

    p.save();
    p.translate(banner.left(), banner.bottom());
    p.rotate(-90);
    QFont bold(QStringLiteral("Arial"), 10, QFont::Bold);
    QFont plain(QStringLiteral("Arial"), 11);
    p.setPen(Qt::white);
    const QString first = QStringLiteral("Clarivex ");
    p.setFont(bold);
    const int baseline = kBannerWidth - 6;
    p.drawText(8, baseline, first);
    const int x = 8 + QFontMetrics(bold).horizontalAdvance(first);
    p.setFont(plain);
    p.drawText(x, baseline, QStringLiteral("2000"));
    p.restore();
}

} // namespace clarivex::ui
