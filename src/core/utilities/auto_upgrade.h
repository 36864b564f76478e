#pragma once

// TAutoUpgrade: the check for a newer release on the web. A few seconds after
// it is made (and on demand) it fetches the update-information text over
// HTTPS, decides whether the release there is newer, asks the user, and on a
// Yes downloads the release into the user's download folder and hands it to
// the desktop. It never runs what it downloads.
//
// The network work runs in a TAutoUpgradeThread; the results, the events and
// the question are handled on the owner's thread. CheckForUpdate and
// DownloadUpdate wait for their thread in a local event loop, so the window
// stays responsive meanwhile. What the component needs from a window (the
// question, the browser, the progress dialog, the hand-over) comes through
// `window`; without it nothing is asked and nothing is downloaded.

#include "core/utilities/auto_upgrade_thread.h"
#include "core/utilities/update_info.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;

namespace clarivex {

// The window's side of the check.
struct AutoUpgradeWindow
{
    // Whether a connection to the Internet exists; IsConnectedToInternet when unset.
    std::function<bool()> isConnected;
    // The server's question with Yes and No; true for Yes.
    std::function<bool(const QString &caption, const QString &text)> ask;
    std::function<void()> bringToFront;
    // A web page in the browser.
    std::function<void(const QUrl &page)> openInBrowser;
    // The download's progress dialog: shown, updated, closed.
    std::function<void(const QString &release)> downloadStarted;
    std::function<void(qint64 totalSize, qint64 readed)> downloadProgress;
    std::function<void(bool done, const QString &error)> downloadEnded;
    // The release is in place: save what must be kept, open it, end the program.
    std::function<void(const QString &releasePath)> handOver;
    // An error of the automatic check.
    std::function<void(const QString &message)> showError;
};

class TAutoUpgrade : public QObject
{
    Q_OBJECT
public:
    // At most one per owner: a second one throws std::runtime_error.
    explicit TAutoUpgrade(QObject *owner);
    ~TAutoUpgrade() override;

    // Properties.
    bool Active = true; // the automatic check after start is allowed
    QString InfoURL;    // the information text; empty: no check
    QString Login;
    QString Password;
    TAUVersionControl VersionControl = byDate;
    QString VersionDate; // MM/DD/YYYY
    bool VersionDateAutoSet = true;
    QString VersionNumber;
    QString DownloadFolder; // the user's download folder when empty
    // Limits and timeouts of the two transfers (the TLS set-up and proxy too).
    UpdateTransferOptions InfoTransfer;
    UpdateTransferOptions DownloadTransfer;

    // Events.
    std::function<void(TAutoUpgrade *, qint64 TotalSize, qint64 Readed)> OnProgress;
    std::function<void(TAutoUpgrade *, qint64 FileSize)> OnDone;
    std::function<void(TAutoUpgrade *)> OnError;
    std::function<void(TAutoUpgrade *)> OnNoUpdateAvailable;
    std::function<void(TAutoUpgrade *, int UsersServed, bool &ShowMessageBox, bool &CanUpgrade)>
        OnUpgrade;

    AutoUpgradeWindow window;

    // Starts the information check unless one runs, waits for it and acts on
    // its result.
    void CheckForUpdate();
    // Starts the download unless one runs, and waits for it.
    void DownloadUpdate(const QString &address);
    // Ends a running download; its partial file is removed.
    void cancelDownload();
    [[nodiscard]] bool checking() const { return m_info != nullptr; }
    [[nodiscard]] bool downloading() const { return m_download != nullptr; }

    // Qt's network reachability where a backend reports it; else whether the
    // last address of this computer's host name is not a loopback address.
    [[nodiscard]] static bool IsConnectedToInternet();

    // The timer of the automatic check (5 s, retried until it runs); not
    // started in a build without the automatic check.
    QTimer *timer() const { return m_timer; }
    // What the last check read, and why the last check or download failed.
    const UpdateInfo &lastInfo() const { return m_lastInfo; }
    QString lastError() const { return m_lastError; }
    QString lastDownloadPath() const { return m_lastDownloadPath; }

private:
    void timerTick();
    void handleInformation(const UpdateTransferResult &result);
    void downloadRelease(const QString &address, const QString &sha256);
    void handleDownload(const UpdateTransferResult &result, const QString &path);
    void fail(const QString &why);
    [[nodiscard]] UpdateTransferOptions withIdentity(UpdateTransferOptions options) const;
    // Runs the thread and waits for it; false when the wait was cut short
    // (the program ends) or the component went away meanwhile.
    [[nodiscard]] bool runAndWait(QPointer<TAutoUpgradeThread> &slot, TAutoUpgradeThread *thread,
                                  UpdateTransferResult &result);

    QTimer *m_timer = nullptr;
    QPointer<TAutoUpgradeThread> m_info;
    QPointer<TAutoUpgradeThread> m_download;
    UpdateInfo m_lastInfo;
    QString m_lastError;
    QString m_lastDownloadPath;
};

// The user agent of every request.
[[nodiscard]] QString autoUpgradeUserAgent();

} // namespace clarivex
