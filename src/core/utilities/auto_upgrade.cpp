#include "core/utilities/auto_upgrade.h"

#include "core/utilities/update_release.h"

#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostInfo>
#include <QNetworkInformation>
#include <QRegularExpression>
#include <QTimer>

#include <stdexcept>

#ifndef CLARIVEX_AUTOMATIC_UPDATE_CHECK
#define CLARIVEX_AUTOMATIC_UPDATE_CHECK 1
#endif

namespace clarivex {

namespace {

QObject *soleOwner(QObject *owner)
{
    if (owner && !owner->findChildren<TAutoUpgrade *>(Qt::FindDirectChildrenOnly).isEmpty())
        throw std::runtime_error("We can add ONLY ONE TAutoUpgrade component onto form");
    return owner;
}

bool isSha256(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(text).hasMatch();
}

} // namespace

QString autoUpgradeUserAgent()
{
    // The maker's web address in the brackets: whoever reads the server's
    // log knows whom to ask about these requests.
    return QStringLiteral("AutoUpgrade (http://www.marlowtek.com/)");
}

TAutoUpgrade::TAutoUpgrade(QObject *owner) : QObject(soleOwner(owner))
{
    VersionDate = QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
    VersionDateAutoSet = true;
    Active = true;
    InfoTransfer.maxBytes = 64 * 1024;
    InfoTransfer.inactivityTimeoutMs = 15000;
    InfoTransfer.totalTimeoutMs = 30000;
    DownloadTransfer.maxBytes = qint64(512) * 1024 * 1024;
    DownloadTransfer.inactivityTimeoutMs = 30000;
    DownloadTransfer.totalTimeoutMs = 30 * 60 * 1000;
    m_timer = new QTimer(this);
    m_timer->setInterval(5000);
    connect(m_timer, &QTimer::timeout, this, &TAutoUpgrade::timerTick);
    if (CLARIVEX_AUTOMATIC_UPDATE_CHECK) m_timer->start();
}

TAutoUpgrade::~TAutoUpgrade() = default; // the threads, children, end their transfers

void TAutoUpgrade::timerTick()
{
    try {
        // Nothing to wait for: the check is off, or there is no address.
        if (!Active || InfoURL.trimmed().isEmpty()) {
            m_timer->stop();
            return;
        }
        const bool connected = window.isConnected ? window.isConnected() : IsConnectedToInternet();
        if (!connected) return; // tried again at the next tick
        m_timer->stop();
        CheckForUpdate();
    } catch (const std::exception &error) {
        if (window.showError) window.showError(QString::fromUtf8(error.what()));
    }
}

bool TAutoUpgrade::IsConnectedToInternet()
{
    static const bool backend =
        QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    if (backend) {
        const auto reachability = QNetworkInformation::instance()->reachability();
        if (reachability != QNetworkInformation::Reachability::Unknown)
            return reachability == QNetworkInformation::Reachability::Online;
    }
    const QList<QHostAddress> addresses =
        QHostInfo::fromName(QHostInfo::localHostName()).addresses();
    return !addresses.isEmpty() && !addresses.last().isLoopback();
}

UpdateTransferOptions TAutoUpgrade::withIdentity(UpdateTransferOptions options) const
{
    options.userAgent = autoUpgradeUserAgent();
    options.login = Login;
    options.password = Password;
    return options;
}

bool TAutoUpgrade::runAndWait(QPointer<TAutoUpgradeThread> &slot, TAutoUpgradeThread *thread,
                              UpdateTransferResult &result)
{
    const QPointer<TAutoUpgrade> self(this);
    slot = thread;
    QEventLoop loop;
    connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    connect(thread, &QObject::destroyed, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    if (!self) return false;
    // The loop also ends when the program does: the transfer is then cancelled.
    const bool cut = thread->isRunning();
    if (cut) thread->requestInterruption();
    thread->wait();
    result = thread->result();
    delete thread;
    return !cut;
}

void TAutoUpgrade::CheckForUpdate()
{
    if (m_info || m_download) return;
    const QUrl url = secureUpdateUrl(InfoURL);
    if (!url.isValid()) {
        fail(QStringLiteral("no https address of the update information: \"%1\"").arg(InfoURL));
        return;
    }
    auto *thread = new TAutoUpgradeThread(this, TAutoUpgradeThread::Information, url,
                                          withIdentity(InfoTransfer));
    UpdateTransferResult result;
    if (!runAndWait(m_info, thread, result)) return;
    handleInformation(result);
}

void TAutoUpgrade::handleInformation(const UpdateTransferResult &result)
{
    if (!result.status) {
        fail(result.error.isEmpty() ? QStringLiteral("the update information is empty")
                                    : result.error);
        return;
    }
    m_lastInfo = parseUpdateInfo(result.text);
    const UpdateInfo &info = m_lastInfo;
    if (!isNewerRelease(info, VersionControl, VersionDate, VersionNumber)) {
        if (OnNoUpdateAvailable) OnNoUpdateAvailable(this);
        return;
    }
    bool showMessageBox = true;
    bool canUpgrade = true;
    if (OnUpgrade) OnUpgrade(this, info.served, showMessageBox, canUpgrade);
    if (!canUpgrade) return;
    if (window.bringToFront) window.bringToFront();
    if (showMessageBox && !(window.ask && window.ask(info.caption, info.message))) return;
    if (info.redirects()) {
        const QUrl page(info.url, QUrl::StrictMode);
        const QString scheme = page.scheme();
        if (!page.isValid() ||
            (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
            fail(QStringLiteral("not a web page: \"%1\"").arg(info.url));
            return;
        }
        if (window.openInBrowser) window.openInBrowser(page);
        return;
    }
    if (info.hasSha256 && !isSha256(info.sha256)) {
        fail(QStringLiteral("the SHA-256 of the release is not 64 hexadecimal digits"));
        return;
    }
    downloadRelease(info.url, info.sha256);
}

void TAutoUpgrade::DownloadUpdate(const QString &address)
{
    downloadRelease(address, QString());
}

void TAutoUpgrade::downloadRelease(const QString &address, const QString &sha256)
{
    if (m_download) return;
    const QUrl url = secureUpdateUrl(address);
    if (!url.isValid()) {
        fail(QStringLiteral("no https address of the release: \"%1\"").arg(address));
        return;
    }
    const QString folder = DownloadFolder.isEmpty() ? updateDownloadFolder() : DownloadFolder;
    if (!QDir().mkpath(folder)) {
        fail(QStringLiteral("cannot create the folder %1").arg(folder));
        return;
    }
    const QString path = freeDownloadPath(folder, releaseFileName(url));
    auto *thread = new TAutoUpgradeThread(this, TAutoUpgradeThread::Download, url,
                                          withIdentity(DownloadTransfer), path, sha256);
    connect(thread, &TAutoUpgradeThread::progress, this, [this](qint64 total, qint64 readed) {
        if (OnProgress) OnProgress(this, total, readed);
        if (window.downloadProgress) window.downloadProgress(total, readed);
    });
    if (window.downloadStarted) window.downloadStarted(QFileInfo(path).fileName());
    const QPointer<TAutoUpgrade> self(this);
    UpdateTransferResult result;
    const bool whole = runAndWait(m_download, thread, result);
    if (!self) return;
    if (window.downloadEnded) window.downloadEnded(whole && result.status, result.error);
    if (whole) handleDownload(result, path);
}

void TAutoUpgrade::handleDownload(const UpdateTransferResult &result, const QString &path)
{
    if (!result.status) {
        fail(result.error);
        return;
    }
    if (OnDone) OnDone(this, result.totalSize);
    m_lastDownloadPath = path;
    if (window.handOver) window.handOver(path);
}

void TAutoUpgrade::cancelDownload()
{
    if (m_download) m_download->requestInterruption();
}

void TAutoUpgrade::fail(const QString &why)
{
    m_lastError = why;
    if (OnError) OnError(this);
}

} // namespace clarivex
