#pragma once

// A drop-down of the standard colours, each drawn as a swatch beside its name;
// a colour that has no name is added as its "$00BBGGRR" text.

#include <QComboBox>

namespace clarivex::ui {

class ColourComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit ColourComboBox(QWidget *parent = nullptr);

    QString colourText() const;
    void setColourText(const QString &text);
    QColor colour() const;

signals:
    void colourChanged(const QString &text);
};

} // namespace clarivex::ui
