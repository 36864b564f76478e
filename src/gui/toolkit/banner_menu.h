#pragma once

// A pop-up menu with a vertical banner along its left edge: a navy gradient
// reading "Clarivex " in white bold and "2000" in white, bottom to top.

#include <QMenu>

namespace clarivex::ui {

class BannerMenu : public QMenu
{
    Q_OBJECT
public:
    explicit BannerMenu(QWidget *parent = nullptr);
    static constexpr int kBannerWidth = 22;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace clarivex::ui
