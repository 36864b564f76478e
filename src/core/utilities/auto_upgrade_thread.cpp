#include "core/utilities/auto_upgrade_thread.h"

namespace clarivex {

TAutoUpgradeThread::TAutoUpgradeThread(QObject *owner, Mode mode, const QUrl &address,
                                       const UpdateTransferOptions &options, const QString &target,
                                       const QString &sha256)
    : QThread(owner), m_mode(mode), m_address(address), m_options(options), m_target(target),
      m_sha256(sha256)
{
}

TAutoUpgradeThread::~TAutoUpgradeThread()
{
    // A transfer still running when its owner goes is cancelled; it notices
    // within a few tens of milliseconds.
    requestInterruption();
    wait();
}

void TAutoUpgradeThread::run()
{
    const auto cancelled = [this] { return isInterruptionRequested(); };
    if (m_mode == Information) {
        m_result = fetchUpdateText(m_address, m_options, cancelled);
        return;
    }
    m_result =
        downloadUpdate(m_address, m_target, m_sha256, m_options, cancelled,
                       [this](qint64 total, qint64 readed) { emit progress(total, readed); });
}

} // namespace clarivex
