#pragma once

// A pair of small arrow buttons beside an edit that step the whole number in
// the edit up or down within a range. The edit stays free text: what is typed
// is checked by its owner, not here. A number outside the range steps back
// into it; a text that is no number becomes the lower end.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace clarivex::ui {

class UpDown : public QWidget
{
    Q_OBJECT
public:
    UpDown(QLineEdit *buddy, int minimum, int maximum, QWidget *parent = nullptr);

    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

    void stepBy(int steps);

private:
    QLineEdit *m_buddy;
    int m_minimum;
    int m_maximum;
    QToolButton *m_up = nullptr;
    QToolButton *m_down = nullptr;
};

} // namespace clarivex::ui
