// The feed viewer's reader: RSS, RDF, Atom and OPML in one streaming pass, the format picked by
// the reader itself. Input: a selector byte (an optional opening of each format, so that the
// fuzzer starts inside one, and whether the feed is a favorite), then the document.
#include "FuzzSupport.h"

#include "favorites/FeedPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const kOpenings[] = {
        "",
        "<rss version=\"2.0\"><channel>",
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\">",
        "<feed xmlns=\"http://www.w3.org/2005/Atom\">",
        "<opml version=\"2.0\"><body>",
    };
    const uint8_t selector = data[0];
    const QByteArray xml = QByteArray(kOpenings[selector % 5]) + fuzz::bytes(data + 1, size - 1);

    const FeedPage page = BuildFeedPage(xml, "https://example.com/news/feed.rss", selector & 8);
    fuzz::require(!page.html.isEmpty());
    fuzz::require(page.format == FeedFormat::Unreadable || page.error.isEmpty());
    // Whatever the feed holds stays text: no markup of its own reaches the page.
    const QString lower = page.html.toLower();
    for (const char *tag : {"<script", "<iframe", "<img", "<svg", "<object", "<embed"})
        fuzz::require(!lower.contains(QLatin1String(tag)));
    fuzz::require(!lower.contains("href=\"javascript:") && !lower.contains("href='javascript:"));
    if (selector & 16)
        (void)FeedDocumentText(xml);
    return 0;
}
