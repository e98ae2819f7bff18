#include "RequestInterceptor.h"

#include "ProgramSchemeHandler.h"
#include "platform/PageWriter.h"

namespace {

bool isNetworkScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("ftp") || scheme == QLatin1String("ws") ||
           scheme == QLatin1String("wss");
}

} // namespace

void RequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (m_policy.detached) {
        info.block(true);
        return;
    }
    const QUrl url = info.requestUrl();
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String(ProgramPages::kScheme) && !programInitiator(info.initiator())) {
        info.block(true);
        return;
    }
    if (!isNetworkScheme(scheme))
        return;
    if (m_policy.offline) {
        info.block(true);
        return;
    }
    if (!m_policy.userAgent.isEmpty())
        info.setHttpHeader("User-Agent", m_policy.userAgent);
    for (const HostHeaderRule &rule : std::as_const(m_policy.hostRules)) {
        if (hostMatches(rule.host, url.host()))
            info.setHttpHeader(rule.name, rule.value);
    }
}
