#pragma once

// The small "searching" animation of the button column: a magnifier circling
// over a folder while a scan runs, still when idle.

#include <QTimer>
#include <QWidget>

namespace clarivex::ui {

class BusyAnimation : public QWidget
{
    Q_OBJECT
public:
    explicit BusyAnimation(QWidget *parent = nullptr);

    bool isActive() const { return m_timer.isActive(); }
    void setActive(bool active);
    QSize sizeHint() const override { return {80, 50}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_frame = 0;
};

} // namespace clarivex::ui
