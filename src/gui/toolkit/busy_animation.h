#pragma once

// The small "searching" animation of the button column: a magnifier circling
// over a folder while a scan runs, still when idle. The clip "SCHEDULE" shows
// instead while a scheduled run is in progress: a calendar page and a clock
// whose hands turn.

#include <QTimer>
#include <QWidget>

class QPainter;

namespace clarivex::ui {

class BusyAnimation : public QWidget
{
    Q_OBJECT
public:
    explicit BusyAnimation(QWidget *parent = nullptr);

    enum class Clip { FindFile, Schedule };

    bool isActive() const { return m_timer.isActive(); }
    Clip clip() const { return m_clip; }
    void setClip(Clip clip);
    void setActive(bool active);
    QSize sizeHint() const override { return {80, 50}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintFindFile(QPainter &p);
    void paintSchedule(QPainter &p);

    QTimer m_timer;
    Clip m_clip = Clip::FindFile;
    int m_frame = 0;
};

} // namespace clarivex::ui
