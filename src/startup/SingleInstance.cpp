#include "startup/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace {
constexpr char kReceipt = '1';
// Larger hand-overs are not command lines.
constexpr quint32 kMaxBytes = 1u << 20;
} // namespace

QString InstanceChannel::defaultName()
{
    QByteArray key = "uid:" + QByteArray::number(qulonglong(::getuid()));
    const QByteArray home = qgetenv("SKIMLINE_HOME");
    if (!home.isEmpty())
        key += "|home:" + QDir(QString::fromLocal8Bit(home)).absolutePath().toUtf8();
    const QString name =
        QStringLiteral("skimline-") +
        QString::fromLatin1(
            QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(20));
    // In the user's own runtime folder, not the shared temporary one, where another user
    // could take the name first and receive the addresses meant for this user's program.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? name : QDir(runtime).filePath(name);
}

InstanceChannel::InstanceChannel(QString name, QObject *parent)
    : QObject(parent), m_name(std::move(name))
{}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::handOff(const QString &commandLine, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    const QByteArray payload = commandLine.toUtf8();
    QByteArray frame;
    QDataStream(&frame, QIODevice::WriteOnly) << quint32(payload.size());
    frame += payload;
    socket.write(frame);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    char receipt = 0;
    return socket.getChar(&receipt) && receipt == kReceipt;
}

bool InstanceChannel::listen()
{
    if (isListening())
        return true;
    // A live program already receives here. (Listening would replace its socket file.)
    {
        QLocalSocket probe;
        probe.connectToServer(m_name);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            return false;
        }
    }
    auto *server = new QLocalServer(this);
    // Only this user may hand addresses to the program.
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_name)) {
        // Nobody answered: the socket of a run that did not end normally.
        QLocalServer::removeServer(m_name);
        if (!server->listen(m_name)) {
            delete server;
            return false;
        }
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::onNewConnection);
    return true;
}

bool InstanceChannel::isListening() const
{
    return m_server && m_server->isListening();
}

void InstanceChannel::onNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->property("done").toBool())
                return;
            const QByteArray buffered = socket->peek(socket->bytesAvailable());
            if (buffered.size() < 4)
                return;
            quint32 size = 0;
            QDataStream(buffered.left(4)) >> size;
            if (size > kMaxBytes) {
                socket->abort();
                return;
            }
            if (quint32(buffered.size()) < 4 + size)
                return;
            if (m_accepting && !m_accepting()) {
                socket->abort();
                return;
            }
            socket->read(4);
            const QString text = QString::fromUtf8(socket->read(size));
            socket->setProperty("done", true);
            socket->putChar(kReceipt);
            socket->flush();
            socket->disconnectFromServer();
            Q_EMIT received(text);
        });
    }
}
