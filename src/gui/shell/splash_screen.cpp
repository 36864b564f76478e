#include "gui/shell/splash_screen.h"

#include "core/utilities/version_info.h"
#include "gui/toolkit/artwork.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace clarivex {

TClarivexSplashScreen::TClarivexSplashScreen(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TClarivexSplashScreen"));
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(false);

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pnlVersion"));
    panel->setGeometry(kWidth - kPanelWidth, 0, kPanelWidth, kHeight);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 8, 2, 10);
    layout->setSpacing(0);

    lblVersion = new QLabel(QStringLiteral("3.5"), panel);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont large = font();
    large.setPixelSize(34);
    large.setBold(true);
    lblVersion->setFont(large);

    lblBuild = new QLabel(QStringLiteral("Build ") + programFileVersion(), panel);
    lblBuild->setObjectName(QStringLiteral("lblBuild"));
    QFont small = font();
    small.setPixelSize(10);
    lblBuild->setFont(small);

    for (QLabel *label : {lblVersion, lblBuild}) {
        label->setAlignment(Qt::AlignCenter);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        label->setPalette(palette);
    }
    layout->addStretch(1);
    layout->addWidget(lblVersion);
    layout->addWidget(lblBuild);
    layout->addStretch(1);
}

void TClarivexSplashScreen::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QRect banner(0, 0, kWidth - kPanelWidth, kHeight);
    ui::artwork(QStringLiteral("splash-banner")).paint(&painter, banner);
    painter.fillRect(QRect(kWidth - kPanelWidth, 0, kPanelWidth, kHeight), panelColour());
}

void TClarivexSplashScreen::centre()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    move(area.x() + std::max(0, (area.width() - kWidth) / 2),
         area.y() + std::max(0, (area.height() - kHeight) / 2));
}

void TClarivexSplashScreen::showNow()
{
    centre();
    show();
    raise();
    repaint();
    // Let the window system map and draw the window now; input waits for the
    // main window.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace clarivex
