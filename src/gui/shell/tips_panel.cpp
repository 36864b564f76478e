#include "gui/shell/tips_panel.h"

#include "core/shell/tips.h"
#include "gui/toolkit/artwork.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace clarivex {

TipsPanel::TipsPanel(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *strip = new QLabel(QStringLiteral(" Clarivex 2000 - Advice"), this);
    strip->setStyleSheet(QStringLiteral("background: black; color: white; padding: 2px;"));
    layout->addWidget(strip);

    auto *area = new QWidget(this);
    area->setAutoFillBackground(true);
    QPalette pal = area->palette();
    pal.setColor(QPalette::Window, Qt::white);
    area->setPalette(pal);
    auto *row = new QHBoxLayout(area);
    row->setContentsMargins(6, 6, 6, 6);
    auto *picture = new QLabel(area);
    picture->setPixmap(ui::artwork(QStringLiteral("about")).pixmap(40, 40));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);
    reTips = new QTextEdit(area);
    reTips->setObjectName(QStringLiteral("reTips"));
    reTips->setReadOnly(true);
    reTips->setFrameShape(QFrame::NoFrame);
    reTips->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette textPal = reTips->palette();
    textPal.setColor(QPalette::Base, Qt::white);
    textPal.setColor(QPalette::Text, Qt::black);
    reTips->setPalette(textPal);
    row->addWidget(reTips, 1);
    layout->addWidget(area, 1);
}

void TipsPanel::clear()
{
    reTips->clear();
}

namespace {
void append(QTextEdit *edit, const QString &text, const QColor &colour, bool bold, int pixels)
{
    QTextCharFormat format;
    format.setForeground(colour);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    QFont font = format.font();
    font.setPixelSize(pixels);
    format.setFont(font, QTextCharFormat::FontPropertiesSpecifiedOnly);
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    if (!edit->document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(text, format);
}
} // namespace

void TipsPanel::AddTipHeading(const QString &text)
{
    append(reTips, text, QColor(0, 0, 255), true, 14);
    append(reTips, QString(), Qt::black, false, 12);
}

void TipsPanel::AddTipText(const QString &text)
{
    append(reTips, text, Qt::black, false, 12);
}

void TipsPanel::showTip(const Tip &tip)
{
    AddTipHeading(tip.heading);
    if (!tip.text.isEmpty()) AddTipText(tip.text);
}

QString TipsPanel::plainText() const
{
    return reTips->toPlainText();
}

} // namespace clarivex
