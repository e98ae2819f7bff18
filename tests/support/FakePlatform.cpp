#include "FakePlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>

namespace {

QString answerKey(QUrl url)
{
    url.setFragment(QString());
    return url.toString(QUrl::FullyEncoded);
}

MessageResult firstButton(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        return MessageResult::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return MessageResult::Yes;
    case MessageButtons::RetryCancel:
        return MessageResult::Retry;
    case MessageButtons::AbortRetryIgnore:
        return MessageResult::Abort;
    }
    return MessageResult::Ok;
}

} // namespace

// ---- FakeShell ----

bool FakeShell::openUrl(const QUrl &url)
{
    m_calls.append({QStringLiteral("openUrl"), url.toString(), {}});
    return true;
}

bool FakeShell::openFile(const QString &path)
{
    m_calls.append({QStringLiteral("openFile"), path, {}});
    return true;
}

bool FakeShell::runProgram(const QString &program, const QStringList &arguments)
{
    m_calls.append({QStringLiteral("runProgram"), program, arguments});
    return true;
}

bool FakeShell::moveToTrash(const QString &path)
{
    m_calls.append({QStringLiteral("moveToTrash"), path, {}});
    return true;
}

QStringList FakeShell::targetsOf(const QString &operation) const
{
    QStringList result;
    for (const Call &call : m_calls) {
        if (call.operation == operation)
            result << call.target;
    }
    return result;
}

// ---- FakeHttpClient ----

FakeHttpClient::FakeHttpClient(QObject *parent) : QObject(parent)
{}

FakeHttpClient::~FakeHttpClient() = default;

void FakeHttpClient::respond(const QUrl &url, const HttpResponse &response)
{
    m_answers.insert(answerKey(url), response);
}

void FakeHttpClient::respond(const QUrl &url, int status, const QByteArray &body,
                             const QByteArray &contentType)
{
    HttpResponse response;
    response.statusCode = status;
    response.finalUrl = url;
    response.body = body;
    response.contentType = contentType;
    respond(url, response);
}

void FakeHttpClient::setDelay(const QUrl &url, int delayMs)
{
    m_delays.insert(answerKey(url), delayMs);
}

HttpResponse FakeHttpClient::answerFor(const HttpRequest &request) const
{
    const auto it = m_answers.constFind(answerKey(request.url));
    if (it != m_answers.constEnd()) {
        HttpResponse response = *it;
        if (response.finalUrl.isEmpty())
            response.finalUrl = request.url;
        if (request.method == HttpMethod::Head)
            response.body.clear();
        if (response.body.size() > request.maxBodyBytes) {
            response.body.clear();
            response.errorText = QStringLiteral("Response too large");
            response.statusCode = 0;
        }
        return response;
    }
    HttpResponse response;
    response.finalUrl = request.url;
    response.networkError = 3; // QNetworkReply::HostNotFoundError
    response.errorText = QStringLiteral("Host not found");
    return response;
}

quint64 FakeHttpClient::request(const HttpRequest &request, Callback done)
{
    const quint64 id = m_nextId++;
    m_requests.append(request);
    m_pending.push_back({id, request, std::move(done)});
    QPointer<FakeHttpClient> self(this);
    const auto later = [&](int ms, Outcome outcome) {
        const auto run = [self, id, outcome] {
            if (self)
                self->deliver(id, outcome);
        };
        if (ms > 0)
            QTimer::singleShot(ms, this, run);
        else
            QMetaObject::invokeMethod(this, run, Qt::QueuedConnection);
    };
    const int delay = m_delays.value(answerKey(request.url), 0);
    later(delay, Outcome::Answer);
    if (delay > 0 && request.timeoutMs > 0 && request.timeoutMs < delay)
        later(request.timeoutMs, Outcome::TimedOut);
    return id;
}

void FakeHttpClient::deliver(quint64 id, Outcome outcome)
{
    auto it = std::find_if(m_pending.begin(), m_pending.end(),
                           [id](const Pending &p) { return p.id == id; });
    if (it == m_pending.end())
        return;
    Pending pending = std::move(*it);
    m_pending.erase(it);
    HttpResponse response;
    if (outcome != Outcome::Answer) {
        response.finalUrl = pending.request.url;
        response.aborted = outcome == Outcome::Aborted;
        response.timedOut = outcome == Outcome::TimedOut;
        response.networkError = 5; // QNetworkReply::OperationCanceledError
        response.errorText = QStringLiteral("Operation canceled");
    } else {
        response = answerFor(pending.request);
    }
    if (pending.done)
        pending.done(response);
}

void FakeHttpClient::abort(quint64 id)
{
    deliver(id, Outcome::Aborted);
}

void FakeHttpClient::settle()
{
    for (int turn = 0; turn < 1000 && !m_pending.empty(); ++turn)
        QCoreApplication::processEvents();
}

// ---- FakeUi ----

MessageResult FakeUi::messageBox(const QString &text, const QString &title, MessageButtons buttons,
                                 MessageIcon icon)
{
    m_messages.append({text, title, buttons, icon});
    return firstButton(buttons);
}

std::optional<QString> FakeUi::inputBox(const QString &prompt, const QString &,
                                        const QString &defaultText)
{
    return inputAnswer ? inputAnswer(prompt, defaultText) : std::nullopt;
}

std::optional<QString> FakeUi::openFileName(const QString &caption, const QString &directory,
                                            const QString &)
{
    return openFileAnswer ? openFileAnswer(caption, directory) : std::nullopt;
}

std::optional<QString> FakeUi::saveFileName(const QString &, const QString &, const QString &)
{
    return std::nullopt;
}

QStringList FakeUi::messageTexts() const
{
    QStringList texts;
    for (const Message &m : m_messages)
        texts << m.text;
    return texts;
}

int FakeUi::singleShot(int ms, QObject *context, std::function<void()> action)
{
    const int id = m_nextTimer++;
    m_timers.push_back({id, ms, QPointer<QObject>(context), context != nullptr, std::move(action)});
    return id;
}

void FakeUi::cancelTimer(int id)
{
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                  [id](const Timer &t) { return t.id == id; }),
                   m_timers.end());
}

bool FakeUi::fireTimer(int id)
{
    auto it =
        std::find_if(m_timers.begin(), m_timers.end(), [id](const Timer &t) { return t.id == id; });
    if (it == m_timers.end())
        return false;
    Timer timer = std::move(*it);
    m_timers.erase(it);
    if (timer.hadContext && !timer.context)
        return false; // its owner is gone, as with QTimer::singleShot
    if (timer.action)
        timer.action();
    return true;
}

int FakeUi::fireTimers(int upToMs)
{
    std::vector<Timer> due;
    for (const Timer &t : m_timers) {
        if (t.ms <= upToMs)
            due.push_back(t);
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const Timer &a, const Timer &b) { return a.ms < b.ms; });
    int fired = 0;
    for (const Timer &t : due) {
        if (fireTimer(t.id))
            ++fired;
    }
    return fired;
}

// ---- FakePlatform ----

void FakePlatform::settle()
{
    // HTTP answers may start loads and loads may start requests: go round until both rest.
    for (int turn = 0; turn < 100; ++turn) {
        web.settle();
        const int before = http.inFlight();
        http.settle();
        if (web.pendingSteps() == 0 && (http.inFlight() == 0 || http.inFlight() == before))
            break;
    }
}
