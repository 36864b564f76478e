#pragma once

// The splash window shown while the main window is being created: borderless,
// 431 x 96, white, centred on the screen, with the program's banner at the
// left and, at the right, a green panel with the release "3.5" and the build
// ("Build " and the program's file version) under it.

#include <QWidget>

class QLabel;

namespace clarivex {

class TClarivexSplashScreen : public QWidget
{
    Q_OBJECT
public:
    explicit TClarivexSplashScreen(QWidget *parent = nullptr);

    static constexpr int kWidth = 431;
    static constexpr int kHeight = 96;
    static constexpr int kPanelWidth = 82;
    static QColor panelColour() { return QColor(16, 99, 74); }

    // Shows the window centred on the primary screen and paints it before
    // returning, so that it is on the screen while the caller goes on working
    // without an event loop.
    void showNow();

    QLabel *lblVersion = nullptr;
    QLabel *lblBuild = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void centre();
};

} // namespace clarivex
