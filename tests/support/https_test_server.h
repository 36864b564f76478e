#pragma once

// A small HTTPS server on 127.0.0.1 for the update check's tests. Its
// certificate is made for the run with openssl and trusted only by the TLS
// set-up that clientTls() gives (nothing else on the machine trusts it).
// Each path has a canned answer; every request head is recorded.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpServer>
#include <QUrl>

#include <optional>

namespace clarivex::test {

struct TestResponse
{
    QByteArray status = "200 OK";
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Sent as the content length; none: the body's size; -1: no header, the
    // end of the body is the end of the connection.
    std::optional<qint64> contentLength;
    bool hold = false; // the connection stays open after the body
};

class HttpsTestServer : public QTcpServer
{
public:
    // Makes the certificate and listens; false with the reason when openssl
    // is missing or fails.
    [[nodiscard]] bool start(QString *why);
    [[nodiscard]] QUrl url(const QString &path) const;
    void respond(const QString &path, const TestResponse &response);
    // Accept connections but never answer them (no TLS handshake either).
    void setSilent(bool silent) { m_silent = silent; }
    // Trusts this server's certificate and nothing else.
    [[nodiscard]] QSslConfiguration clientTls() const;
    [[nodiscard]] const QList<QByteArray> &requests() const { return m_requests; }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void answer(QIODevice &socket, const QByteArray &head);

    QSslCertificate m_certificate;
    QSslKey m_key;
    QHash<QString, TestResponse> m_responses;
    QList<QByteArray> m_requests;
    bool m_silent = false;
};

} // namespace clarivex::test

Q_DECLARE_METATYPE(clarivex::test::TestResponse)
