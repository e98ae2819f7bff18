#pragma once

#include <QByteArray>
#include <QList>
#include <QWebEngineUrlRequestInterceptor>

#include "platform/BrowserControl.h"

// What a control's requests are allowed and given: a value the control sets whenever one of
// its settings changes, so the interceptor needs nothing else of the control.
struct RequestPolicy
{
    bool detached = false; // the control is gone: nothing loads any more
    bool offline = false;  // every network request is refused
    QByteArray userAgent;  // sent instead of the profile's; empty: the profile's
    QList<HostHeaderRule> hostRules;
};

// Guards the program's private scheme against web content and applies the control's
// request policy to every request of its page.
class RequestInterceptor : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setPolicy(RequestPolicy policy) { m_policy = std::move(policy); }
    const RequestPolicy &policy() const { return m_policy; }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    RequestPolicy m_policy;
};
