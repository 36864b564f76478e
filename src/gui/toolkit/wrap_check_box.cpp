#include "gui/toolkit/wrap_check_box.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace clarivex::ui {

namespace {
constexpr int kFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;
}

WrapCheckBox::WrapCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrapCheckBox::indicatorWidth() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this) +
           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
}

QRect WrapCheckBox::textRect(int width) const
{
    const int left = indicatorWidth();
    return fontMetrics().boundingRect(QRect(left, 0, std::max(width - left, 20), 10000), kFlags,
                                      text());
}

int WrapCheckBox::heightForWidth(int width) const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
    return std::max(indicator, textRect(width).height()) + 2;
}

QSize WrapCheckBox::sizeHint() const
{
    const QSize oneLine = QCheckBox::sizeHint();
    return {oneLine.width(), heightForWidth(oneLine.width())};
}

QSize WrapCheckBox::minimumSizeHint() const
{
    return {indicatorWidth() + fontMetrics().horizontalAdvance(QLatin1Char('M')) * 8,
            QCheckBox::minimumSizeHint().height()};
}

void WrapCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const int indicatorHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
    option.rect =
        QRect(0, (fontMetrics().height() - indicatorHeight) / 2 + 1,
              style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this), indicatorHeight);
    p.drawPrimitive(QStyle::PE_IndicatorCheckBox, option);
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(QRect(indicatorWidth(), 0, width() - indicatorWidth(), height()), kFlags, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect(width()).adjusted(-1, 0, 1, 1);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace clarivex::ui
