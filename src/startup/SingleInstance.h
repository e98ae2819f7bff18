#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// The line between a running program and a later start of it: a local socket per user and data
// folder. A later start with an address hands the address over and ends; the running program
// receives it.
class InstanceChannel : public QObject
{
    Q_OBJECT
public:
    // The channel of this user and data folder (SKIMLINE_HOME when set), so that test runs with
    // their own folder never reach the user's program.
    static QString defaultName();

    explicit InstanceChannel(QString name = defaultName(), QObject *parent = nullptr);
    ~InstanceChannel() override;

    QString name() const { return m_name; }

    // Sends the command line to the running program and waits for its receipt. False when no
    // program listens or it did not confirm in time; the caller then starts normally.
    [[nodiscard]] bool handOff(const QString &commandLine, int timeoutMs = 5000) const;

    // Starts receiving. False when another live program already receives on this channel (this
    // one then does not); a socket left behind by a crashed run is taken over.
    [[nodiscard]] bool listen();
    bool isListening() const;
    // While this says no (the program is closing), a hand-over gets no receipt: the sender
    // then starts a program of its own instead of losing its address.
    void setAccepting(std::function<bool()> accepting) { m_accepting = std::move(accepting); }

Q_SIGNALS:
    void received(const QString &commandLine);

private:
    void onNewConnection();

    QString m_name;
    QLocalServer *m_server = nullptr;
    std::function<bool()> m_accepting;
};
