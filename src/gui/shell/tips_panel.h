#pragma once

// The "Tips" tab: a black strip " Clarivex 2000 - Advice" over a white area
// with a picture and the rich-text box that ShowTips writes.

#include <QWidget>

class QTextEdit;

namespace clarivex {

struct Tip;

class TipsPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TipsPanel(QWidget *parent = nullptr);

    void clear();
    void AddTipHeading(const QString &text); // blue, bold, 14 px, then an empty line
    void AddTipText(const QString &text);    // black, regular, 12 px
    void showTip(const Tip &tip);
    QString plainText() const;
    QTextEdit *reTips = nullptr;
};

} // namespace clarivex
