#pragma once

// A check box whose caption wraps onto further lines instead of being cut
// off when the page is narrow.

#include <QCheckBox>

namespace clarivex::ui {

class WrapCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit WrapCheckBox(const QString &text, QWidget *parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }

private:
    int indicatorWidth() const;
    QRect textRect(int width) const;
};

} // namespace clarivex::ui
