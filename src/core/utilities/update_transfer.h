#pragma once

// One HTTPS GET of the update check: the information text, or the release.
// Certificates are always checked; an "http://" address is upgraded to
// https; a redirect to anything but https is refused. The text is read up to
// its limit and then cut; a download must arrive whole (as many bytes as the
// content length, no more than its limit, and the SHA-256 when one is
// expected) or its file is removed. Both have timeouts. The request carries
// nothing but the GET and the user agent: no cookies, no referrer, no
// language of the user, no compression.
//
// A transfer runs its own event loop and belongs to one thread, the worker
// thread of the check (TAutoUpgradeThread).

#include <QByteArray>
#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace clarivex {

struct UpdateTransferOptions
{
    qint64 maxBytes = 64 * 1024;
    int inactivityTimeoutMs = 15000; // no byte for this long fails
    int totalTimeoutMs = 60000;      // the whole transfer
    int maxRedirects = 5;
    QString userAgent;
    QString login;                        // answered only when the server asks
    QString password;                     //
    std::optional<QSslConfiguration> tls; // the system's CA list when unset
    std::optional<QNetworkProxy> proxy;   // the application's proxy when unset
};

// The address of a request: "http://" becomes "https://", an address without
// a scheme is split into host and path and fetched over https; any other
// scheme, or no host, gives an invalid URL.
[[nodiscard]] QUrl secureUpdateUrl(const QString &address);

struct UpdateTransferResult
{
    bool status = false;
    qint64 totalSize = -1; // the content length; -1 when the server sent none
    qint64 readed = 0;     // bytes received
    QByteArray text;       // the information text
    bool cut = false;      // the text went past its limit and was cut there
    bool cancelled = false;
    QString error; // why it failed
};

// Fetches the information text into the result.
[[nodiscard]] UpdateTransferResult fetchUpdateText(const QUrl &url,
                                                   const UpdateTransferOptions &options,
                                                   const std::function<bool()> &cancelled);

// Downloads the release into `target` (created, or replaced when the download
// is complete). `sha256` is the expected digest in lower-case hex, or empty.
// `progress` runs after each block with the content length and the bytes so far.
[[nodiscard]] UpdateTransferResult
downloadUpdate(const QUrl &url, const QString &target, const QString &sha256,
               const UpdateTransferOptions &options, const std::function<bool()> &cancelled,
               const std::function<void(qint64, qint64)> &progress);

} // namespace clarivex
