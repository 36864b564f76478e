#include "support/https_test_server.h"

#include "support/wait_limits.h"

#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace clarivex::test {

bool HttpsTestServer::start(QString *why)
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) {
        *why = QStringLiteral("openssl is not installed");
        return false;
    }
    if (!QSslSocket::supportsSsl()) {
        *why = QStringLiteral("Qt has no TLS backend");
        return false;
    }
    QTemporaryDir dir;
    QProcess process;
    process.start(openssl, {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                            "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj",
                            "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                            dir.filePath("key.pem"), "-out", dir.filePath("cert.pem")});
    if (!finishes(process, QStringLiteral("openssl req")) || process.exitCode() != 0) {
        *why = QStringLiteral("openssl failed: ") +
               QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    QFile cert(dir.filePath("cert.pem"));
    QFile key(dir.filePath("key.pem"));
    if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("openssl wrote no certificate");
        return false;
    }
    m_certificate = QSslCertificate(cert.readAll(), QSsl::Pem);
    m_key = QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem);
    if (m_certificate.isNull() || m_key.isNull()) {
        *why = QStringLiteral("the certificate or key cannot be read");
        return false;
    }
    if (!listen(QHostAddress::LocalHost)) {
        *why = errorString();
        return false;
    }
    return true;
}

QUrl HttpsTestServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(serverPort()).arg(path));
}

void HttpsTestServer::respond(const QString &path, const TestResponse &response)
{
    m_responses.insert(path, response);
}

QSslConfiguration HttpsTestServer::clientTls() const
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({m_certificate});
    return tls;
}

void HttpsTestServer::incomingConnection(qintptr descriptor)
{
    if (m_silent) {
        auto *quiet = new QTcpSocket(this);
        quiet->setSocketDescriptor(descriptor);
        return; // kept open, never answered, until the server goes
    }
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(m_certificate);
    socket->setPrivateKey(m_key);
    auto head = std::make_shared<QByteArray>();
    connect(socket, &QSslSocket::readyRead, this, [this, socket, head] {
        *head += socket->readAll();
        if (!head->contains("\r\n\r\n") || head->isEmpty()) return;
        answer(*socket, *head);
        head->clear();
        head->append('\0'); // answered: later bytes are ignored
    });
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QSslSocket::errorOccurred, socket, &QObject::deleteLater);
    socket->startServerEncryption();
}

void HttpsTestServer::answer(QIODevice &device, const QByteArray &head)
{
    auto &socket = static_cast<QSslSocket &>(device);
    m_requests.append(head);
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = words.size() > 1 ? QString::fromLatin1(words.at(1)) : QString();
    const TestResponse response = m_responses.value(
        path, TestResponse{"404 Not Found", {}, QByteArray("missing"), std::nullopt, false});
    QByteArray out = "HTTP/1.1 " + response.status + "\r\n";
    for (const auto &[name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    const qint64 length = response.contentLength.value_or(response.body.size());
    if (length >= 0) out += "Content-Length: " + QByteArray::number(length) + "\r\n";
    out += "Connection: close\r\n\r\n";
    socket.write(out);
    socket.write(response.body);
    if (response.hold) return;
    connect(&socket, &QSslSocket::bytesWritten, &socket, [&socket] {
        if (socket.bytesToWrite() == 0) socket.disconnectFromHost();
    });
}

} // namespace clarivex::test
