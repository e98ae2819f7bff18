#include "LoadLifeCycle.h"

#include <QPointer>

LoadLifeCycle::LoadLifeCycle(BrowserControl &control, Page &page, int bridgeWaitMs, QObject *parent)
    : QObject(parent), m_control(control), m_page(page)
{
    m_bridgeWait.setSingleShot(true);
    m_bridgeWait.setInterval(bridgeWaitMs);
    connect(&m_bridgeWait, &QTimer::timeout, this, &LoadLifeCycle::bridgeSilent);
}

void LoadLifeCycle::feed(const LoadInput &input)
{
    switch (input.kind) {
    case LoadInput::Kind::Begin:
        begin(input.url);
        return;
    case LoadInput::Kind::Redirect:
        m_load.url = input.url;
        return;
    case LoadInput::Kind::End:
        end(input);
        return;
    case LoadInput::Kind::Document:
        documentCreated(input.url, input.readyState, input.errorPage);
        return;
    case LoadInput::Kind::ReadyState:
        readyState(input.readyState);
        return;
    case LoadInput::Kind::Title:
        // A new document's title waits for its commit: the program learns of it only then.
        if (m_load.active && !m_load.committed) {
            m_load.titlePending = true;
            return;
        }
        if (m_listener)
            m_listener->titleChanged(m_control, input.text);
        return;
    case LoadInput::Kind::Progress:
        if (m_listener && m_load.active && !m_load.completed)
            m_listener->progressChanged(m_control, input.status, 100);
        return;
    case LoadInput::Kind::BridgeSilent:
        bridgeSilent();
        return;
    }
}

void LoadLifeCycle::begin(const QUrl &url)
{
    if (m_load.active && !m_load.completed) {
        // A new navigation ends the one before: its document, when it has one, is complete.
        QPointer<LoadLifeCycle> self(this);
        if (m_load.finished) {
            maybeComplete(true);
        } else {
            m_load.completed = true;
            if (m_listener)
                m_listener->downloadComplete(m_control);
        }
        if (!self)
            return;
    }
    m_bridgeWait.stop();
    m_load = Load();
    m_load.active = true;
    m_load.url = url;
    if (m_listener)
        m_listener->downloadBegin(m_control);
}

void LoadLifeCycle::end(const LoadInput &input)
{
    // Only the end of the load this control began; a cancelled navigation ends too.
    if (!m_load.active || m_load.finished ||
        (input.url != m_load.url && input.url != m_load.documentUrl))
        return;
    m_load.finished = true;
    m_load.ok = input.outcome == LoadInput::Outcome::Succeeded;
    m_page.loadEnded();
    QPointer<LoadLifeCycle> self(this);
    if (input.outcome == LoadInput::Outcome::Aborted) {
        m_load.aborted = true;
    } else if (input.outcome == LoadInput::Outcome::Failed) {
        if (m_listener)
            (void)m_listener->navigateError(m_control, input.url, input.status, input.text, true);
        if (!self)
            return;
    }
    if (m_load.aborted && !m_load.committed) {
        m_load.completed = true;
        if (m_page.awaitsDocument())
            m_bridgeWait.start();
        if (m_listener)
            m_listener->downloadComplete(m_control);
        return;
    }
    maybeComplete(!m_load.ok);
    if (self && !m_load.completed)
        m_bridgeWait.start();
}

void LoadLifeCycle::documentCreated(const QUrl &url, ReadyState state, bool errorPage)
{
    if (!m_load.active || m_load.completed) {
        // The error page of a load that already ended is no document of its own.
        if (errorPage)
            return;
        // A document the engine made without a load of its own (an opened window).
        QPointer<LoadLifeCycle> self(this);
        if (m_listener)
            m_listener->navigateComplete(m_control, url, true);
        if (!self)
            return;
    } else if (!m_load.committed) {
        if (errorPage && !m_load.finished) {
            // The failure is reported first; the load's end commits the error page.
            m_load.errorPage = true;
            return;
        }
        m_load.committed = true;
        // The engine's error page stands for the address that failed. The requested address
        // stays what the end of the load is matched by: the bridge may greet before it.
        m_load.documentUrl = errorPage ? m_load.url : url;
        if (!reportCommit(m_load.documentUrl))
            return;
    }
    if (m_bridgeWait.isActive() && !m_page.awaitsDocument() && m_load.completed)
        m_bridgeWait.stop();
    readyState(state);
}

bool LoadLifeCycle::reportCommit(const QUrl &url)
{
    QPointer<LoadLifeCycle> self(this);
    if (m_listener)
        m_listener->navigateComplete(m_control, url, true);
    if (!self)
        return false;
    if (std::exchange(m_load.titlePending, false) && m_listener)
        m_listener->titleChanged(m_control, m_page.title());
    return self;
}

void LoadLifeCycle::fireInteractive()
{
    if (m_load.interactive)
        return;
    m_load.interactive = true;
    if (m_listener)
        m_listener->readyStateChanged(m_control, ReadyState::Interactive);
}

void LoadLifeCycle::readyState(ReadyState state)
{
    if (m_load.errorPage && !m_load.committed)
        return;
    if (state == ReadyState::Loading) {
        if (m_load.completed) {
            // document.open() started a new document
            m_load.interactive = false;
            m_load.completeReported = false;
        }
        return;
    }
    if (state != ReadyState::Interactive && state != ReadyState::Complete)
        return;
    QPointer<LoadLifeCycle> self(this);
    fireInteractive();
    if (!self || state != ReadyState::Complete)
        return;
    if (m_load.completed) {
        // Once per document: the greeting and a queued state report may both say so.
        if (m_load.committed && !std::exchange(m_load.completeReported, true) && m_listener)
            m_listener->readyStateChanged(m_control, ReadyState::Complete);
        return;
    }
    m_load.bridgeComplete = true;
    maybeComplete(false);
}

void LoadLifeCycle::bridgeSilent()
{
    m_bridgeWait.stop();
    ++m_bridgeFallbacks;
    if (m_page.awaitsDocument())
        m_page.giveUpWaiting();
    maybeComplete(true);
}

void LoadLifeCycle::maybeComplete(bool force)
{
    if (m_load.completed || !m_load.finished)
        return;
    if (!force && !m_load.bridgeComplete)
        return;
    m_load.completed = true;
    m_bridgeWait.stop();
    const QUrl url = m_page.url();
    QPointer<LoadLifeCycle> self(this);
    if (!m_load.committed) {
        m_load.committed = true;
        if (!reportCommit(url))
            return;
    }
    fireInteractive();
    if (!self || !m_listener)
        return;
    m_listener->downloadComplete(m_control);
    if (!self || !m_listener)
        return;
    m_listener->documentComplete(m_control, url, true);
    if (!self || !m_listener)
        return;
    m_load.completeReported = true;
    m_listener->readyStateChanged(m_control, ReadyState::Complete);
}
