#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QSslCertificate;
class QSslServer;
class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 with an ephemeral port, running in the test's thread:
// it answers while the test waits in QTRY_ macros or QSignalSpy::wait.
class HttpFixture : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray method;
        QString host;  // of an absolute request target (a request sent to the proxy), else empty
        QString path;  // without the query
        QString query; // without the "?"
        QList<std::pair<QByteArray, QByteArray>> headers; // as sent
        QByteArray body;

        // The first header of that name (case-insensitive); null when absent.
        QByteArray header(const QByteArray &name) const;
    };

    struct Response
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        QList<std::pair<QByteArray, QByteArray>> headers;
        int delayMs = 0; // answered this much later, without blocking the event loop
    };
    using Handler = std::function<Response(const Request &)>;

    explicit HttpFixture(QObject *parent = nullptr);
    ~HttpFixture() override;

    bool isListening() const;
    quint16 port() const;
    QUrl url(const QString &path) const; // "/a.htm" -> http://127.0.0.1:port/a.htm

    // A second port that speaks TLS with a self-signed certificate for 127.0.0.1 (the engine
    // under test must be told to accept it); the same pages answer on both ports.
    [[nodiscard]] bool listenSecure();
    // The secure port's certificate, for clients that are to trust it.
    static QSslCertificate certificate();
    QUrl secureUrl(const QString &path) const; // "/a.htm" -> https://127.0.0.1:tlsport/a.htm

    // Makes the fixture the HTTP proxy of every engine in the process, so that an address of any
    // host ("http://www.cats.com/") reaches it without a real network; 127.0.0.1 still goes
    // direct. A page for such a host is registered under its absolute address, "http://host/path"
    // (the fixture falls back to the path alone). The engine takes it up at once, also after
    // controls were made; the fixture's destructor turns the proxy off again.
    void answerEveryHost();
    QUrl hostUrl(const QString &host, const QString &path = QStringLiteral("/")) const
    {
        return QUrl(QStringLiteral("http://") + host + path);
    }

    // Every registration replaces what the path answered before. Unknown paths get 404.
    void addPage(const QString &path, const QByteArray &body,
                 const QByteArray &contentType = "text/html; charset=utf-8");
    void addHtml(const QString &path, const QString &title, const QString &bodyHtml);
    void addSlow(const QString &path, const QByteArray &body, int delayMs);
    void addHandler(const QString &path, Handler handler);

    QList<Request> requests() const { return m_requests; }
    QList<Request> requests(const QString &path) const;
    int requestCount(const QString &path) const;
    void clearRequests() { m_requests.clear(); }

    // Requests received and not yet answered, and the most at once since the last reset.
    int inFlight() const { return m_inFlight; }
    int maxInFlight() const { return m_maxInFlight; }

    // A port on 127.0.0.1 where nothing listens (bound, then closed).
    static quint16 refusedPort();

    static QByteArray html(const QString &title, const QString &bodyHtml);

private:
    struct Connection;
    void onConnection(QTcpServer *server);
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);
    void send(QTcpSocket *socket, const Response &response, bool head);

    QTcpServer *m_server;
    QSslServer *m_secure = nullptr;
    QHash<QString, Handler> m_handlers;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_requests;
    int m_inFlight = 0;
    int m_maxInFlight = 0;
    bool m_proxy = false;
};
