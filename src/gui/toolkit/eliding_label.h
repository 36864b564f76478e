#pragma once

// A one-line value that takes the width it is given: a text too long for it
// is shortened in the middle ("/home/ann/…/Report Backup.BAK"), and the whole
// text is in the tooltip. It can be selected with the mouse or the keyboard;
// a copy takes the whole text.

#include <QLabel>

namespace clarivex::ui {

class ElidingLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidingLabel(const QString &text, QWidget *parent = nullptr);

    QString fullText() const { return m_full; }
    void setFullText(const QString &text);
    bool isElided() const { return text() != m_full; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void elide();

    QString m_full;
};

} // namespace clarivex::ui
