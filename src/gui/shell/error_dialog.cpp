#include "gui/shell/error_dialog.h"

#include "gui/toolkit/artwork.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace clarivex {

TClarivexShowError::TClarivexShowError(QWidget *parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Dialog)
{
    setObjectName(QStringLiteral("TClarivexShowError"));
    setFixedSize(288, 189);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(1, 1, 1, 1);
    outer->setSpacing(0);
    setStyleSheet(QStringLiteral("TClarivexShowError { border: 1px solid #202020; }"));

    pTop = new QWidget(this);
    pTop->setObjectName(QStringLiteral("pTop"));
    pTop->setAutoFillBackground(true);
    pTop->setStyleSheet(QStringLiteral("#pTop { background: black; } #pTop QLabel { color: white; }"
                                       "#pTop QToolButton { color: white; border: none; }"));
    pTop->installEventFilter(this);
    auto *strip = new QHBoxLayout(pTop);
    strip->setContentsMargins(6, 2, 2, 2);
    m_title = new QLabel(pTop);
    m_title->installEventFilter(this);
    sbClose = new QToolButton(pTop);
    sbClose->setObjectName(QStringLiteral("sbClose"));
    sbClose->setText(QStringLiteral("✕"));
    sbClose->setFixedSize(16, 16);
    strip->addWidget(m_title, 1);
    strip->addWidget(sbClose);
    outer->addWidget(pTop);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(8, 6, 8, 8);
    body->setSpacing(4);
    auto *top = new QHBoxLayout;
    auto *icon = new QLabel(this);
    icon->setPixmap(ui::artwork(QStringLiteral("error")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto *texts = new QVBoxLayout;
    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);
    lblMessage->setText(QStringLiteral("The following error has occured:               Please "
                                       "contact the author at:"));
    AutoURLLabel = new QLabel(this);
    AutoURLLabel->setObjectName(QStringLiteral("AutoURLLabel"));
    AutoURLLabel->setText(QStringLiteral("<a href=\"mailto:%1\">%1</a>").arg(supportAddress()));
    AutoURLLabel->setOpenExternalLinks(true);
    texts->addWidget(lblMessage);
    texts->addWidget(AutoURLLabel);
    top->addWidget(icon);
    top->addLayout(texts, 1);
    body->addLayout(top);

    MemoError = new QPlainTextEdit(this);
    MemoError->setObjectName(QStringLiteral("MemoError"));
    MemoError->setReadOnly(true);
    MemoError->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoError->setPlainText(QStringLiteral("Could not retreive Error message!"));
    body->addWidget(MemoError, 1);

    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    body->addLayout(buttons);
    outer->addLayout(body, 1);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(sbClose, &QToolButton::clicked, this, &QDialog::reject);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TClarivexShowError::setTitle(const QString &title)
{
    m_title->setText(title);
    setWindowTitle(title);
}

QString TClarivexShowError::title() const
{
    return m_title->text();
}

void TClarivexShowError::setErrorText(const QString &text)
{
    MemoError->setPlainText(text);
}

QString TClarivexShowError::errorText() const
{
    return MemoError->toPlainText();
}

void TClarivexShowError::setMessage(const QString &message)
{
    lblMessage->setText(message);
}

QString TClarivexShowError::message() const
{
    return lblMessage->text();
}

void TClarivexShowError::setLinkVisible(bool visible)
{
    AutoURLLabel->setVisible(visible);
}

QString TClarivexShowError::supportAddress()
{
    return QStringLiteral("support@clarivex.example");
}

bool TClarivexShowError::eventFilter(QObject *watched, QEvent *event)
{
    // Pressing on the title strip drags the dialog.
    if (watched == pTop || watched == m_title) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            m_dragOffset = mouse->globalPosition().toPoint() - frameGeometry().topLeft();
            return true;
        }
        if (event->type() == QEvent::MouseMove) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->buttons() & Qt::LeftButton)
                move(mouse->globalPosition().toPoint() - m_dragOffset);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace clarivex
