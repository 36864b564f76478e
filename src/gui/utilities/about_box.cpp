#include "gui/utilities/about_box.h"

#include "core/utilities/os_version_text.h"
#include "gui/toolkit/artwork.h"
#include "gui/utilities/version_label.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace clarivex {

namespace {

const QColor kGreen(16, 99, 74);
const QColor kText(58, 58, 58);
constexpr int kRightLeft = TClarivexAboutBox::kPanelWidth + 22;
constexpr int kRightWidth = TClarivexAboutBox::kWidth - kRightLeft - 18;
const QRect kBanner(kRightLeft, 26, 316, 84);
const QRect kSystemPicture(kRightLeft, 138, 32, 32);

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

TClarivexAboutBox::TClarivexAboutBox(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("TClarivexAboutBox"));
    setWindowTitle(QStringLiteral("About Clarivex 2000"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    buildPanel();
    buildInformation();
    // A key closes the box whichever of its controls has the focus.
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void TClarivexAboutBox::buildPanel()
{
    lblVersion = new QLabel(QStringLiteral("3.5"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    QFont large = font();
    large.setPixelSize(40);
    large.setBold(true);
    lblVersion->setFont(large);
    lblVersion->setAlignment(Qt::AlignCenter);
    lblVersion->setGeometry(0, 138, kPanelWidth, 52);

    VersionLabel = new TVersionLabel(this);
    VersionLabel->setObjectName(QStringLiteral("VersionLabel"));
    QFont small = font();
    small.setPixelSize(12);
    VersionLabel->setFont(small);
    VersionLabel->setVersionResource(vrFileVersion);
    VersionLabel->setVersionResourceKey(QStringLiteral("FileVersion"));
    VersionLabel->setInfoPrefix(QStringLiteral("Build "));
    VersionLabel->setShowInfoPrefix(true);
    VersionLabel->setLangCharset(QStringLiteral("-1"));
    // The label sizes itself to its text; it is centred under the release.
    VersionLabel->move((kPanelWidth - VersionLabel->width()) / 2, 190);

    for (QLabel *label : {lblVersion, static_cast<QLabel *>(VersionLabel)})
        setTextColour(label, Qt::white);
}

void TClarivexAboutBox::buildInformation()
{
    lblSysInfo = new QLabel(this);
    lblSysInfo->setObjectName(QStringLiteral("lblSysInfo"));
    lblSysInfo->setTextFormat(Qt::PlainText);
    lblSysInfo->setWordWrap(true);
    lblSysInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont text = font();
    text.setPixelSize(12);
    lblSysInfo->setFont(text);
    setTextColour(lblSysInfo, kText);
    const int textLeft = kSystemPicture.right() + 12;
    lblSysInfo->setGeometry(textLeft, kSystemPicture.top(), kWidth - 18 - textLeft, 58);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    btnClose->setFont(text);
    const QSize button(96, 30);
    btnClose->setGeometry(kWidth - 18 - button.width(), kHeight - 18 - button.height(),
                          button.width(), button.height());
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
}

TClarivexAboutBox *TClarivexAboutBox::showAbout(QWidget *parent)
{
    auto *box = new TClarivexAboutBox(parent);
    box->show();
    box->raise();
    box->activateWindow();
    return box;
}

void TClarivexAboutBox::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TClarivexAboutBox::FormShow()
{
    lblSysInfo->setText(OSVersionText());
    centre();
    btnClose->setFocus();
}

void TClarivexAboutBox::centre()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    move(area.x() + std::max(0, (area.width() - kWidth) / 2),
         area.y() + std::max(0, (area.height() - kHeight) / 2));
}

void TClarivexAboutBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    ui::artwork(QStringLiteral("about-panel")).paint(&painter, 0, 0, kPanelWidth, kHeight);
    ui::artwork(QStringLiteral("about-banner")).paint(&painter, kBanner);
    painter.fillRect(QRect(kRightLeft, 122, kRightWidth, 1), QColor(0, 0, 0, 28));
    ui::artwork(QStringLiteral("about-system")).paint(&painter, kSystemPicture);
    // A borderless window on a white desktop still needs an edge.
    painter.setPen(QColor(0, 0, 0, 70));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TClarivexAboutBox::keyPressEvent(QKeyEvent *)
{
    close();
}

bool TClarivexAboutBox::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept(); // taken as a key press, below, not as a shortcut
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool TClarivexAboutBox::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate && isVisible()) {
        // Another window took the activation: the box has done its work.
        close();
        return true;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Every key closes the box, so none is taken as a shortcut.
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

} // namespace clarivex
