#include "core/utilities/update_transfer.h"

#include <QAuthenticator>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

namespace clarivex {

QUrl secureUpdateUrl(const QString &address)
{
    const QString text = address.trimmed();
    QUrl url;
    if (text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        url = QUrl(text, QUrl::StrictMode);
    } else if (text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) {
        url = QUrl(QStringLiteral("https://") + text.mid(7), QUrl::StrictMode);
    } else if (!text.contains(QLatin1String("://")) && !text.isEmpty()) {
        // Host before the first "/", the path from there on.
        url = QUrl(QStringLiteral("https://") + text, QUrl::StrictMode);
    }
    if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host().isEmpty())
        return QUrl();
    return url;
}

namespace {

// One request and its reply, driven by a local event loop until it ends.
class Transfer
{
public:
    Transfer(const UpdateTransferOptions &options, std::function<bool()> cancelled)
        : m_options(options), m_cancelled(std::move(cancelled))
    {
        if (m_options.proxy) m_manager.setProxy(*m_options.proxy);
    }

    // Runs the request; `onData` takes each block and returns false to stop
    // (having set the error, or not when the stop is a success).
    void run(const QUrl &url, const std::function<bool(QNetworkReply &)> &onData)
    {
        QNetworkReply *reply = m_manager.get(request(url));
        QTimer inactivity;
        inactivity.setSingleShot(true);
        QTimer total;
        total.setSingleShot(true);
        QTimer cancelPoll;
        const auto stop = [&](const QString &why) {
            if (m_error.isEmpty() && !m_stoppedOnPurpose) m_error = why;
            reply->abort();
        };
        QObject::connect(&inactivity, &QTimer::timeout, reply, [&] {
            stop(QStringLiteral("no answer for %1 ms").arg(m_options.inactivityTimeoutMs));
        });
        QObject::connect(&total, &QTimer::timeout, reply, [&] {
            stop(QStringLiteral("not finished within %1 ms").arg(m_options.totalTimeoutMs));
        });
        QObject::connect(&cancelPoll, &QTimer::timeout, reply, [&] {
            if (m_cancelled && m_cancelled()) {
                m_result.cancelled = true;
                stop(QStringLiteral("cancelled"));
            }
        });
        QObject::connect(reply, &QNetworkReply::redirected, reply, [&](const QUrl &next) {
            if (next.scheme() == QLatin1String("https")) {
                emit reply->redirectAllowed();
                return;
            }
            stop(QStringLiteral("refused the redirect to %1").arg(next.toString()));
        });
        QObject::connect(&m_manager, &QNetworkAccessManager::authenticationRequired, reply,
                         [this](QNetworkReply *, QAuthenticator *auth) {
                             if (m_askedForLogin || m_options.login.isEmpty()) return;
                             m_askedForLogin = true;
                             auth->setUser(m_options.login);
                             auth->setPassword(m_options.password);
                         });
        QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
            inactivity.start();
            if (m_error.isEmpty() && !m_stoppedOnPurpose && !onData(*reply)) {
                if (m_error.isEmpty()) m_stoppedOnPurpose = true;
                reply->abort();
            }
        });
        QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                         [&] { inactivity.start(); });
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        inactivity.start(m_options.inactivityTimeoutMs);
        total.start(m_options.totalTimeoutMs);
        cancelPoll.start(50);
        if (!reply->isFinished()) loop.exec();
        if (m_error.isEmpty() && !m_stoppedOnPurpose && reply->error() != QNetworkReply::NoError)
            m_error = reply->errorString();
        m_result.error = m_error;
        reply->deleteLater();
    }

    UpdateTransferResult &result() { return m_result; }
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    void fail(const QString &why)
    {
        if (m_error.isEmpty()) m_error = why;
    }

private:
    QNetworkRequest request(const QUrl &url) const
    {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::UserVerifiedRedirectPolicy);
        request.setMaximumRedirectsAllowed(m_options.maxRedirects);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
        request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
        if (!m_options.userAgent.isEmpty())
            request.setRawHeader("User-Agent", m_options.userAgent.toLatin1());
        // Without these, Qt would send the user's languages and ask for a
        // compressed body, whose length would not be the content length.
        request.setRawHeader("Accept-Language", "*");
        request.setRawHeader("Accept-Encoding", "identity");
        if (m_options.tls) request.setSslConfiguration(*m_options.tls);
        return request;
    }

    UpdateTransferOptions m_options;
    std::function<bool()> m_cancelled;
    QNetworkAccessManager m_manager;
    UpdateTransferResult m_result;
    QString m_error;
    bool m_stoppedOnPurpose = false;
    bool m_askedForLogin = false;
};

qint64 contentLength(const QNetworkReply &reply)
{
    const QVariant header = reply.header(QNetworkRequest::ContentLengthHeader);
    return header.isValid() ? header.toLongLong() : -1;
}

} // namespace

UpdateTransferResult fetchUpdateText(const QUrl &url, const UpdateTransferOptions &options,
                                     const std::function<bool()> &cancelled)
{
    Transfer transfer(options, cancelled);
    UpdateTransferResult &result = transfer.result();
    if (!url.isValid()) {
        result.error = QStringLiteral("no https address");
        return result;
    }
    transfer.run(url, [&](QNetworkReply &reply) {
        result.totalSize = contentLength(reply);
        const qint64 room = options.maxBytes - result.readed;
        const QByteArray block = reply.read(std::max<qint64>(room, 0));
        result.text += block;
        result.readed += block.size();
        if (result.readed < options.maxBytes) return true;
        result.cut = true; // the rest is never read
        return false;
    });
    result.error = transfer.error();
    result.status = !transfer.failed() && result.readed > 0;
    return result;
}

UpdateTransferResult downloadUpdate(const QUrl &url, const QString &target, const QString &sha256,
                                    const UpdateTransferOptions &options,
                                    const std::function<bool()> &cancelled,
                                    const std::function<void(qint64, qint64)> &progress)
{
    Transfer transfer(options, cancelled);
    UpdateTransferResult &result = transfer.result();
    if (!url.isValid()) {
        result.error = QStringLiteral("no https address");
        return result;
    }
    QSaveFile file(target);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    transfer.run(url, [&](QNetworkReply &reply) {
        if (!file.isOpen()) {
            result.totalSize = contentLength(reply);
            if (result.totalSize < 0) {
                transfer.fail(QStringLiteral("the server sent no content length"));
                return false;
            }
            if (result.totalSize > options.maxBytes) {
                transfer.fail(QStringLiteral("%1 bytes is over the limit of %2")
                                  .arg(result.totalSize)
                                  .arg(options.maxBytes));
                return false;
            }
            if (!file.open(QIODevice::WriteOnly)) {
                transfer.fail(file.errorString());
                return false;
            }
        }
        const QByteArray block = reply.readAll();
        result.readed += block.size();
        if (result.readed > result.totalSize) {
            transfer.fail(QStringLiteral("more bytes than the content length"));
            return false;
        }
        hash.addData(block);
        if (file.write(block) != block.size()) {
            transfer.fail(file.errorString());
            return false;
        }
        if (progress) progress(result.totalSize, result.readed);
        return true;
    });
    if (!transfer.failed() && result.readed != result.totalSize)
        transfer.fail(
            QStringLiteral("received %1 of %2 bytes").arg(result.readed).arg(result.totalSize));
    if (!transfer.failed() && !sha256.isEmpty() &&
        QString::fromLatin1(hash.result().toHex()) != sha256)
        transfer.fail(QStringLiteral("the SHA-256 of the download does not match"));
    if (!transfer.failed() && !file.commit()) transfer.fail(file.errorString());
    if (transfer.failed()) file.cancelWriting(); // the partial file goes
    result.error = transfer.error();
    result.status = !transfer.failed();
    return result;
}

} // namespace clarivex
