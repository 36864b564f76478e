#pragma once

// The about box: a borderless white window of 532 x 275, centred on the
// screen. At the left a green panel with the program's picture, the release
// "3.5" and the build; at the right the product's name, the line about the
// operating system and "&Close". It closes on any key, on "&Close" and when
// another window takes the activation, and it is destroyed when closed.

#include <QWidget>

class QLabel;
class QPushButton;

namespace clarivex {

class TVersionLabel;

class TClarivexAboutBox : public QWidget
{
    Q_OBJECT
public:
    explicit TClarivexAboutBox(QWidget *parent = nullptr);

    static constexpr int kWidth = 532;
    static constexpr int kHeight = 275;
    static constexpr int kPanelWidth = 180;

    // Creates the box, shows it without waiting for it and brings it to the
    // top of the window order.
    static TClarivexAboutBox *showAbout(QWidget *parent);

    QLabel *lblVersion = nullptr;
    TVersionLabel *VersionLabel = nullptr;
    QLabel *lblSysInfo = nullptr;
    QPushButton *btnClose = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormShow();
    void centre();
    void buildPanel();
    void buildInformation();
};

} // namespace clarivex
