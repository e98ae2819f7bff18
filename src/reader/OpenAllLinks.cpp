#include "reader/OpenAllLinks.h"

#include "platform/PageWriter.h"
#include "store/CWinInet_URL.h"

#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <memory>

bool isSkippedLink(const QString &address)
{
    static const QStringList skipped = {
        QStringLiteral("mailto:"), QStringLiteral(".zip"), QStringLiteral(".exe"),
        QStringLiteral(".wav"),    QStringLiteral(".mp3"), QStringLiteral(".avi"),
        QStringLiteral(".ram"),    QStringLiteral(".rm"),  QStringLiteral("script:")};
    for (const QString &s : skipped) {
        if (address.contains(s, Qt::CaseInsensitive))
            return true;
    }
    // A page's links to the program's commands or pages are never followed for it.
    const QUrl url(address);
    return ProgramPages::isCommandLink(url) || ProgramPages::hasProgramScheme(url);
}

QString withoutFragment(const QString &address)
{
    const qsizetype hash = address.indexOf(QLatin1Char('#'));
    return hash < 0 ? address : address.left(hash);
}

QString siteOfPage(const QString &pageUrl)
{
    if (pageUrl.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
        return QStringLiteral("file://");
    CWinInet_URL url;
    const URLParts parts = url.URLparts(pageUrl);
    return parts.valid ? parts.host : QString();
}

QStringList filterLinks(const QList<LinkInfo> &links, OpenLinksKind kind, const QString &site,
                        bool withFrames)
{
    QStringList accepted;
    for (const LinkInfo &link : links) {
        if (kind != OpenLinksKind::Selected && (link.frameIndex >= 0) != withFrames)
            continue;
        const QString address = withoutFragment(link.href);
        if (address.isEmpty() || isSkippedLink(address))
            continue;
        bool take = true;
        switch (kind) {
        case OpenLinksKind::All:
        case OpenLinksKind::Selected:
            break;
        case OpenLinksKind::Images:
            take = link.innerHTML.contains(QLatin1String("<img"), Qt::CaseInsensitive);
            break;
        case OpenLinksKind::Internal:
            take = address.contains(site, Qt::CaseInsensitive);
            break;
        case OpenLinksKind::External:
            take = !address.contains(site, Qt::CaseInsensitive);
            break;
        }
        if (take)
            accepted << address;
    }
    return accepted;
}

QList<LinkInfo> linksInHtml(const QString &html, const QUrl &base)
{
    // Anchors with an href, in order; the attribute may be quoted either way or not at all.
    static const QRegularExpression anchor(QStringLiteral(R"re(<a\b([^>]*)>(.*?)</a\s*>)re"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression href(
        QStringLiteral(R"re(\bhref\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>]+)))re"),
        QRegularExpression::CaseInsensitiveOption);
    QList<LinkInfo> links;
    auto it = anchor.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QRegularExpressionMatch h = href.match(m.captured(1));
        if (!h.hasMatch())
            continue;
        QString value = h.captured(1);
        if (value.isNull())
            value = h.captured(2);
        if (value.isNull())
            value = h.captured(3);
        // Entities such as &amp; in the attribute stand for their characters.
        value.replace(QLatin1String("&quot;"), QLatin1String("\""))
            .replace(QLatin1String("&#39;"), QLatin1String("'"))
            .replace(QLatin1String("&lt;"), QLatin1String("<"))
            .replace(QLatin1String("&gt;"), QLatin1String(">"))
            .replace(QLatin1String("&amp;"), QLatin1String("&"));
        LinkInfo link;
        link.href = base.resolved(QUrl(value.trimmed())).toString();
        link.innerHTML = m.captured(2);
        links << link;
    }
    return links;
}

void openAllLinks(Document &document, OpenLinksKind kind, const QString &pageUrl, bool withFrames,
                  std::function<void(const QString &)> load, std::function<void(int)> done)
{
    const QString site = (kind == OpenLinksKind::Internal || kind == OpenLinksKind::External)
                             ? siteOfPage(pageUrl)
                             : QString();
    auto finish = [kind, site, withFrames, load = std::move(load),
                   done = std::move(done)](const QList<LinkInfo> &links) {
        const QStringList accepted = filterLinks(links, kind, site, withFrames);
        // A page of thousands of links is queued a few hundred per turn of the event loop, so
        // the frame keeps answering while they go in.
        constexpr qsizetype kPerTurn = 200;
        auto next = std::make_shared<std::function<void(qsizetype)>>();
        // The turn's timer owns the next step; the step itself holds only a weak reference.
        *next = [accepted, load, done, self = std::weak_ptr(next)](qsizetype from) {
            const qsizetype to = std::min(from + kPerTurn, accepted.size());
            for (qsizetype i = from; i < to; ++i)
                load(accepted.at(i));
            if (to < accepted.size()) {
                if (auto step = self.lock())
                    QTimer::singleShot(0, [step, to] { (*step)(to); });
                return;
            }
            if (done)
                done(int(accepted.size()));
        };
        (*next)(0);
    };
    if (kind == OpenLinksKind::Selected) {
        const QUrl base(pageUrl);
        document.querySelectedHTML(
            [base, finish](const QString &html) { finish(linksInHtml(html, base)); });
        return;
    }
    document.queryLinks(finish);
}

QString openButtonTooltip()
{
    return QStringLiteral(
        "Open all selected links in the background. Links must be selected first.");
}
