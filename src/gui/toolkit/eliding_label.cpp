#include "gui/toolkit/eliding_label.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace clarivex::ui {

ElidingLabel::ElidingLabel(const QString &text, QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setFullText(text);
}

void ElidingLabel::setFullText(const QString &text)
{
    m_full = text;
    elide();
    updateGeometry();
}

QSize ElidingLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    return {metrics.horizontalAdvance(m_full) + margins.left() + margins.right() + 2 * margin() + 2,
            QLabel::sizeHint().height()};
}

QSize ElidingLabel::minimumSizeHint() const
{
    // Wide enough for the start and the end of a name around the ellipsis.
    return {fontMetrics().averageCharWidth() * 12, QLabel::minimumSizeHint().height()};
}

void ElidingLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidingLabel::elide()
{
    const int room = contentsRect().width() - 2 * margin();
    const QString shown = fontMetrics().elidedText(m_full, Qt::ElideMiddle, std::max(room, 1));
    if (shown != text()) QLabel::setText(shown);
    setToolTip(shown == m_full ? QString() : m_full);
}

void ElidingLabel::keyPressEvent(QKeyEvent *event)
{
    // A shortened value copies whole: the part the ellipsis hides included.
    if (event->matches(QKeySequence::Copy) && isElided() && hasSelectedText()) {
        QApplication::clipboard()->setText(m_full);
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ElidingLabel::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Copy"), this,
                   [this] { QApplication::clipboard()->setText(m_full); });
    menu.exec(event->globalPos());
}

} // namespace clarivex::ui
