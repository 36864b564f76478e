#include "gui/cleaning/clean_progress.h"

#include "core/base/event_pump.h"

#include <QFile>

namespace clarivex::ui {

CleanProgress::CleanProgress(QWidget *owner, qsizetype total)
    : m_pump(throttledPump()), m_total(total)
{
    if (total < kShownFrom) return;
    m_dialog = new QProgressDialog(owner);
    m_dialog->setObjectName(QStringLiteral("CleanProgress"));
    m_dialog->setWindowTitle(QStringLiteral("Clarivex 2000"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setRange(0, int(qMin<qsizetype>(total, INT_MAX)));
    m_dialog->setLabelText(QStringLiteral("Cleaning files..."));
    m_dialog->setValue(0);
    m_dialog->show();
}

CleanProgress::~CleanProgress()
{
    delete m_dialog.data();
}

bool CleanProgress::step(qsizetype done, const QByteArray &current)
{
    if (m_dialog && done != m_shown) {
        m_shown = done;
        if (!current.isEmpty())
            m_dialog->setLabelText(QStringLiteral("Cleaning: ") + QFile::decodeName(current));
        m_dialog->setValue(int(qMin<qsizetype>(done, m_total)));
    }
    m_pump();
    return !cancelled();
}

bool CleanProgress::cancelled() const
{
    return m_dialog && m_dialog->wasCanceled();
}

} // namespace clarivex::ui
