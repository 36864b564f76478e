#include "gui/toolkit/colour_combo_box.h"

#include "gui/toolkit/colour_names.h"

#include <QPainter>
#include <QPixmap>

namespace clarivex::ui {

namespace {
QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(colour);
    QPainter p(&pixmap);
    p.setPen(Qt::darkGray);
    p.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}
} // namespace

ColourComboBox::ColourComboBox(QWidget *parent) : QComboBox(parent)
{
    for (const QString &name : standardColourNames())
        addItem(swatch(*colourFromText(name)), name.mid(2), name);
    connect(this, &QComboBox::currentIndexChanged, this,
            [this] { emit colourChanged(colourText()); });
}

QString ColourComboBox::colourText() const
{
    return currentData().toString();
}

QColor ColourComboBox::colour() const
{
    return colourFromText(colourText()).value_or(QColor(Qt::black));
}

void ColourComboBox::setColourText(const QString &text)
{
    const auto parsed = colourFromText(text);
    const QString canonical = parsed ? colourToText(*parsed) : QStringLiteral("clBlack");
    int index = findData(canonical);
    if (index < 0) {
        addItem(swatch(*parsed), canonical, canonical);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

} // namespace clarivex::ui
