#pragma once

// The worker thread of the update check: one HTTPS GET, of the information
// text or of the release. Its results are read on the owner's thread once it
// has finished; progress reaches the owner's thread by queued signal.

#include "core/utilities/update_transfer.h"

#include <QThread>

namespace clarivex {

class TAutoUpgradeThread : public QThread
{
    Q_OBJECT
public:
    enum Mode { Information, Download };

    TAutoUpgradeThread(QObject *owner, Mode mode, const QUrl &address,
                       const UpdateTransferOptions &options, const QString &target = {},
                       const QString &sha256 = {});
    ~TAutoUpgradeThread() override;

    Mode mode() const { return m_mode; }
    QUrl address() const { return m_address; }
    QString target() const { return m_target; }

    // The results, once finished.
    bool Status() const { return m_result.status; }
    qint64 TotalSize() const { return m_result.totalSize; }
    qint64 Readed() const { return m_result.readed; }
    const QByteArray &text() const { return m_result.text; }
    const UpdateTransferResult &result() const { return m_result; }

signals:
    void progress(qint64 totalSize, qint64 readed);

protected:
    void run() override;

private:
    Mode m_mode;
    QUrl m_address;
    UpdateTransferOptions m_options;
    QString m_target;
    QString m_sha256;
    UpdateTransferResult m_result;
};

} // namespace clarivex
