#pragma once

#include "FakeBrowserControl.h"
#include "platform/HttpClient.h"
#include "platform/Shell.h"
#include "platform/Ui.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <limits>
#include <optional>

// The desktop, recorded. Every call succeeds unless told otherwise; nothing is opened or run.
class FakeShell : public Shell
{
public:
    struct Call
    {
        QString operation; // "openUrl", "openFile", "runProgram", "moveToTrash"
        QString target;
        QStringList arguments;
    };

    bool openUrl(const QUrl &url) override;
    bool openFile(const QString &path) override;
    bool runProgram(const QString &program, const QStringList &arguments) override;
    bool moveToTrash(const QString &path) override;

    const QList<Call> &calls() const { return m_calls; }
    QStringList targetsOf(const QString &operation) const;

private:
    QList<Call> m_calls;
};

// HTTP with scripted answers. Callbacks come from the event loop on a later turn, as with the
// real client.
class FakeHttpClient : public QObject, public HttpClient
{
    Q_OBJECT
public:
    explicit FakeHttpClient(QObject *parent = nullptr);
    ~FakeHttpClient() override;

    quint64 request(const HttpRequest &request, Callback done) override;
    void abort(quint64 id) override;
    int inFlight() const override { return int(m_pending.size()); }

    // The answer for an address (fragment ignored); unscripted addresses get status 0 with
    // a network error, as an unreachable host would.
    void respond(const QUrl &url, const HttpResponse &response);
    void respond(const QUrl &url, int status, const QByteArray &body = QByteArray(),
                 const QByteArray &contentType = "text/html");
    // The answer comes that much later (a real timer), unless the request's timeout ends first.
    void setDelay(const QUrl &url, int delayMs);
    // Runs the event loop until no answer is due.
    void settle();

    const QList<HttpRequest> &requests() const { return m_requests; }

private:
    struct Pending
    {
        quint64 id;
        HttpRequest request;
        Callback done;
    };
    enum class Outcome { Answer, Aborted, TimedOut };
    void deliver(quint64 id, Outcome outcome);
    HttpResponse answerFor(const HttpRequest &request) const;

    QHash<QString, HttpResponse> m_answers;
    QHash<QString, int> m_delays;
    QList<HttpRequest> m_requests;
    std::vector<Pending> m_pending;
    quint64 m_nextId = 1;
};

// Dialogs answered at once (a message box with its first button: Ok, Yes, Retry, Abort; input and
// file dialogs cancelled), sounds counted, timers fired by hand, key state set by hand.
//
// Timers: singleShot only records the timer; the test fires it with fireTimers() (all that are
// due, in the order of their delays). Nothing depends on the clock, so tests stay fast and
// exact.
class FakeUi : public Ui
{
public:
    struct Message
    {
        QString text;
        QString title;
        MessageButtons buttons;
        MessageIcon icon;
    };
    struct Timer
    {
        int id;
        int ms;
        QPointer<QObject> context;
        bool hadContext;
        std::function<void()> action;
    };

    MessageResult messageBox(const QString &text, const QString &title,
                             MessageButtons buttons = MessageButtons::Ok,
                             MessageIcon icon = MessageIcon::None) override;
    std::optional<QString> inputBox(const QString &prompt, const QString &title,
                                    const QString &defaultText = QString()) override;
    std::optional<QString> openFileName(const QString &caption, const QString &directory,
                                        const QString &filter = QString()) override;
    std::optional<QString> saveFileName(const QString &caption, const QString &path,
                                        const QString &filter = QString()) override;
    void beep() override { ++m_beeps; }
    void flashWindow(QWidget *) override { ++m_flashes; }
    int singleShot(int ms, QObject *context, std::function<void()> action) override;
    void cancelTimer(int id) override;
    Qt::KeyboardModifiers keyboardModifiers() const override { return m_modifiers; }
    Qt::MouseButtons mouseButtons() const override { return m_buttons; }
    bool isKeyDown(int) const override { return false; }

    const QList<Message> &messages() const { return m_messages; }
    QStringList messageTexts() const;
    // What the file dialogs answer, given caption and folder; unset, they are cancelled.
    std::function<std::optional<QString>(const QString &, const QString &)> openFileAnswer;
    // What input boxes answer, given prompt and default text; unset, they are cancelled.
    std::function<std::optional<QString>(const QString &, const QString &)> inputAnswer;
    int beeps() const { return m_beeps; }
    int flashes() const { return m_flashes; }

    void setKeyboardModifiers(Qt::KeyboardModifiers modifiers) { m_modifiers = modifiers; }
    void setMouseButtons(Qt::MouseButtons buttons) { m_buttons = buttons; }

    // Fires every waiting timer whose delay is at most upToMs, shortest delay first; timers
    // they start wait for the next call. Returns how many fired.
    int fireTimers(int upToMs = std::numeric_limits<int>::max());

private:
    bool fireTimer(int id);
    QList<Message> m_messages;
    int m_beeps = 0;
    int m_flashes = 0;
    Qt::KeyboardModifiers m_modifiers = Qt::NoModifier;
    Qt::MouseButtons m_buttons = Qt::NoButton;
    std::vector<Timer> m_timers;
    int m_nextTimer = 1;
};

// One bundle of the whole double for a test: the web, the control factory and the services.
struct FakePlatform
{
    FakePlatform() : browsers(web) {}
    FakePlatform(const FakePlatform &) = delete;
    FakePlatform &operator=(const FakePlatform &) = delete;

    // Runs the fake web's queued loads and answers, and the HTTP client's due answers.
    void settle();

    FakeWeb web;
    FakeBrowserFactory browsers;
    FakeShell shell;
    FakeHttpClient http;
    FakeUi ui;
};
