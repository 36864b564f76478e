#pragma once

// The properties window of a found file: name, folder, size, type, owner,
// permissions, times, where the scan found it and its versions.

#include "core/cleaning/file_properties.h"

#include <QDialog>

namespace clarivex::ui {

class TFilePropertiesDialog : public QDialog
{
    Q_OBJECT
public:
    // `foundIn` names the file group or duplicate set; empty leaves its line out.
    TFilePropertiesDialog(const cleaning::FileProperties &properties, const QString &foundIn,
                          QWidget *parent = nullptr);

    // The fields as "caption<TAB>value" lines, in the window's order.
    [[nodiscard]] QString summary() const { return m_summary; }

private:
    QString m_summary;
};

} // namespace clarivex::ui
