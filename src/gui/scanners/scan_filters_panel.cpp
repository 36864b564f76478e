#include "gui/scanners/scan_filters_panel.h"

#include "core/base/settings_types.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace clarivex {

namespace {

template <typename T>
T *named(const QString &prefix, const char *name, const char *caption, QWidget *parent)
{
    // "cbHidden" with "DF" becomes "cbDFHidden": the prefix follows the type letters.
    const QString plain = QString::fromLatin1(name);
    qsizetype typeLength = 0;
    while (typeLength < plain.size() && plain.at(typeLength).isLower())
        ++typeLength;
    auto *widget = new T(QString::fromLatin1(caption), parent);
    widget->setObjectName(plain.left(typeLength) + prefix + plain.mid(typeLength));
    return widget;
}

QDateTimeEdit *datePicker(const QString &objectName, QWidget *parent)
{
    auto *picker = new QDateTimeEdit(QDateTime::currentDateTime(), parent);
    picker->setObjectName(objectName);
    picker->setDisplayFormat(QStringLiteral("dd-MM-yyyy"));
    picker->setCalendarPopup(true);
    picker->setMinimumDate(QDate(100, 1, 1));
    return picker;
}

// Sets an option button as loading does: true checks it and clears its
// siblings, false clears it alone.
void setOption(QRadioButton *button, bool checked)
{
    if (checked) {
        button->setChecked(true);
        return;
    }
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

} // namespace

ScanFiltersPanel::ScanFiltersPanel(const QString &prefix, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(4);

    cbFileDate = named<QCheckBox>(prefix, "cbFileDate", "File Date between:", this);
    dtpBetween1 = datePicker(QStringLiteral("dtp%1Between1").arg(prefix), this);
    dtpBetween2 = datePicker(QStringLiteral("dtp%1Between2").arg(prefix), this);
    layout->addWidget(cbFileDate);
    auto *dates = new QHBoxLayout;
    dates->setContentsMargins(20, 0, 0, 0);
    dates->addWidget(dtpBetween1);
    dates->addWidget(new QLabel(QStringLiteral("and"), this));
    dates->addWidget(dtpBetween2);
    dates->addStretch(1); // the pickers keep their own width
    layout->addLayout(dates);

    auto *attributes = new QGroupBox(QStringLiteral("Attributes :"), this);
    auto *attributeRow = new QHBoxLayout(attributes);
    cbHidden = named<QCheckBox>(prefix, "cbHidden", "Hidden", attributes);
    cbReadOnly = named<QCheckBox>(prefix, "cbReadOnly", "Read Only", attributes);
    cbSystem = named<QCheckBox>(prefix, "cbSystem", "System", attributes);
    for (QCheckBox *box : {cbHidden, cbReadOnly, cbSystem}) {
        box->setChecked(true);
        attributeRow->addWidget(box);
    }
    layout->addWidget(attributes);

    auto *limits = new QGridLayout;
    cbSize = named<QCheckBox>(prefix, "cbSize", "Size :", this);
    rbMax = named<QRadioButton>(prefix, "rbMax", "Max", this);
    rbMin = named<QRadioButton>(prefix, "rbMin", "Min", this);
    txtSize = named<QLineEdit>(prefix, "txtSize", "100", this);
    txtSize->setMaximumWidth(txtSize->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 10);
    auto *size = new QHBoxLayout;
    size->addWidget(rbMax);
    size->addWidget(rbMin);
    size->addWidget(txtSize);
    size->addWidget(new QLabel(QStringLiteral("KB"), this));
    size->addStretch(1);
    limits->addWidget(cbSize, 0, 0);
    limits->addLayout(size, 0, 1);

    cbText = named<QCheckBox>(prefix, "cbText", "Text :", this);
    txtText = named<QLineEdit>(prefix, "txtText", "", this);
    limits->addWidget(cbText, 1, 0);
    limits->addWidget(txtText, 1, 1);
    limits->setColumnStretch(1, 1);
    layout->addLayout(limits);
    layout->addStretch(1);
}

void ScanFiltersPanel::loadSettings(const ScanFilterSettings &s)
{
    cbFileDate->setChecked(s.FileDate);
    if (s.Between1) dtpBetween1->setDateTime(*s.Between1);
    if (s.Between2) dtpBetween2->setDateTime(*s.Between2);
    cbHidden->setChecked(s.Hidden);
    cbReadOnly->setChecked(s.ReadOnly);
    cbSystem->setChecked(s.System);
    cbSize->setChecked(s.Size);
    setOption(rbMax, s.Max);
    setOption(rbMin, s.Min);
    cbText->setChecked(s.ScanForText);
    txtText->setText(s.TextToScanFor);
}

void ScanFiltersPanel::saveSettings(ScanFilterSettings &s) const
{
    s.FileDate = cbFileDate->isChecked();
    s.Between1 = dtpBetween1->dateTime();
    s.Between2 = dtpBetween2->dateTime();
    s.Hidden = cbHidden->isChecked();
    s.ReadOnly = cbReadOnly->isChecked();
    s.System = cbSystem->isChecked();
    s.Size = cbSize->isChecked();
    s.Max = rbMax->isChecked();
    s.Min = rbMin->isChecked();
    s.ScanForText = cbText->isChecked();
    s.TextToScanFor = txtText->text();
}

} // namespace clarivex
