#include "favorites/FeedPage.h"

#include <QTest>

namespace {

const QString kSource = QStringLiteral("http://news.test/feeds/top.rss");

QString rss(const QString &channelChildren, const QString &items)
{
    return QStringLiteral("<?xml version='1.0'?><rss version='2.0'><channel>") + channelChildren +
           items + QStringLiteral("</channel></rss>");
}

} // namespace

class TestFeedPage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Each format shows its title and its items' links in document order.
    void formats_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("rss") << rss("<title>Top</title><link>http://news.test/</link>"
                                    "<description>All the news</description>",
                                    "<item><title>One</title><link>/1.htm</link>"
                                    "<description>first</description></item>"
                                    "<item><title>Two</title><link>http://news.test/2.htm</link>"
                                    "<description>second</description></item>")
                             << int(FeedFormat::Rss)
                             << QStringList{"<title>Top</title>", "<h1>Top</h1>",
                                            "content='All the news'",
                                            "<h2><a href=\"http://news.test/1.htm\">One</a></h2>"
                                            "<p>first<hr>",
                                            "<a href=\"http://news.test/2.htm\">Two</a>"};
        QTest::newRow("rdf")
            << QStringLiteral("<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#' "
                              "xmlns='http://purl.org/rss/1.0/'><channel><title>Rdf</title>"
                              "<item><title>Inside</title></item></channel>"
                              "<item><title>A</title><link>http://r.test/a</link></item></rdf:RDF>")
            << int(FeedFormat::Rdf)
            << QStringList{"<h1>Rdf</h1>",
                           "<hr style=height:1em><h2><a href=\"http://r.test/a\">A</a></h2>"};
        QTest::newRow("atom")
            << QStringLiteral(
                   "<feed xmlns='http://www.w3.org/2005/Atom'><title>Atom</title>"
                   "<link rel='self' href='http://a.test/feed'/><link href='http://a.test/'/>"
                   "<entry><title>E1</title><link rel='alternate' href='http://a.test/e1'/>"
                   "<summary>sum</summary></entry><entry><title>E2</title><content>body</content>"
                   "</entry><subtitle>Sub</subtitle><rights>(c)</rights></feed>")
            << int(FeedFormat::Atom)
            << QStringList{"<h1>Atom</h1><a href=\"http://a.test/\">http://a.test/</a>",
                           "<a href=\"http://a.test/e1\">E1</a></h2><p>sum<hr>",
                           "<h2>E2</h2><p>body<hr>", "content='Sub'", "xx-small>(c)</div>"};
        QTest::newRow("opml")
            << QStringLiteral(
                   "<opml version='1.0'><body><outline text='Group'>"
                   "<outline title='Blog' xmlUrl='http://b.test/rss' htmlUrl='http://b.test/'/>"
                   "<outline text='Feed only' xmlUrl='/only.rss'/></outline></body></opml>")
            << int(FeedFormat::Opml)
            << QStringList{"<title>OPML Link List</title>", "<form action=\"skl:atf\">",
                           "<h2>Group</h2><hr>",
                           "<h2>Blog</h2><a href=\"http://b.test/rss\">http://b.test/rss</a><p>"
                           "<a href=\"http://b.test/\">http://b.test/</a><hr>",
                           "<h2>Feed only</h2><a href=\"http://news.test/only.rss\">/only.rss"
                           "</a><p><hr>"};
    }
    void formats()
    {
        QFETCH(QString, xml);
        QFETCH(int, format);
        QFETCH(QStringList, expected);
        const FeedPage page = BuildFeedPage(xml.toUtf8(), kSource, 0);
        QCOMPARE(int(page.format), format);
        for (const QString &part : expected)
            QVERIFY2(page.html.contains(part), qPrintable(part + "\n" + page.html));
    }

    // A feed opened from a favorite has no form; from a link it has one naming its address.
    void addToFavoritesForm()
    {
        const QByteArray xml = rss("<title>T</title>", "").toUtf8();
        QVERIFY(BuildFeedPage(xml, kSource, 0)
                    .html.contains("<form action=\"skl:atf" + kSource +
                                   "\">Source URL: <a id=skl-atf href='" + kSource + "'>"));
        QVERIFY(!BuildFeedPage(xml, kSource, 42).html.contains("<form"));
    }

    // The channel is named by its first seven children only; every item's texts are taken
    // from the positions its first item had them at.
    void positions()
    {
        // Whitespace and comments take no place; elements of other vocabularies do.
        const QString six =
            QStringLiteral("\n <a/>\n <!-- c --><b/><c/><d/>\n <dc:e xmlns:dc='urn:dc'/><f/>\n ");
        const auto title = [](const QString &children) {
            const QString html = BuildFeedPage(rss(children, "").toUtf8(), kSource, 0).html;
            return html.section("<title>", 1).section("</title>", 0, 0);
        };
        QCOMPARE(title(six + "<title>Seventh</title>"), QStringLiteral("Seventh"));
        QCOMPARE(title(six + "<g/><title>Eighth</title>"), QString());
        QCOMPARE(title("<item/><title>After an item</title>"), QString());
        const FeedPage page = BuildFeedPage(
            rss("<title>T</title>", "<item><link>http://x.test/1</link><title>One</title></item>"
                                    "<item><title>Swapped</title><link>http://x.test/2</link>"
                                    "</item><item><link>http://x.test/3</link></item>")
                .toUtf8(),
            kSource, 0);
        QVERIFY(page.html.contains("<a href=\"http://x.test/1\">One</a>"));
        // The second item's children are read by the first one's positions.
        QVERIFY(
            page.html.contains("<a href=\"http://news.test/feeds/Swapped\">http://x.test/2</a>"));
        QVERIFY(page.html.contains("<a href=\"http://x.test/3\">http://x.test/3</a>"));
    }

    // A feed is untrusted: markup shows as text and only web addresses become links.
    void hostileFeed()
    {
        const FeedPage page = BuildFeedPage(
            rss("<title>&lt;script&gt;alert(1)&lt;/script&gt;</title>"
                "<description>it's &lt;b&gt;</description>",
                "<item><title>&lt;img src=x onerror=alert(1)&gt;</title>"
                "<link>javascript:alert(1)</link><description><![CDATA[<iframe src=skl:dbm1>]]>"
                "</description></item>"
                "<item><title>q</title><link>http://x.test/\"onmouseover='a'</link></item>"
                "<item><title>t</title><link> JavaScript:alert(2)</link></item>"
                "<item><title>d</title><link>data:text/html,x</link></item>"
                "<item><title>s</title><link>skl:dbm1</link></item>")
                .toUtf8(),
            kSource, 0);
        QVERIFY(page.html.contains("&lt;img src=x onerror=alert(1)&gt;"));
        QVERIFY(page.html.contains("&lt;iframe src=skl:dbm1&gt;"));
        QVERIFY(page.html.contains("content='it&#39;s &lt;b&gt;'"));
        QVERIFY(
            page.html.contains("<h2><a href=\"http://x.test/%22onmouseover=&#39;a&#39;\">q</a>"));
        QVERIFY(page.html.contains("<h2>t</h2>"));
        QCOMPARE(page.html.count("<a href="), 1);
        for (const char *bad : {"<script", "<img", "<iframe", "<b>"})
            QVERIFY2(!page.html.contains(QLatin1String(bad)), bad);
    }

    void unreadableInput()
    {
        for (const QByteArray &xml :
             {QByteArray("<rss><channel><title>cut"), QByteArray(""), QByteArray("<html/>")}) {
            const FeedPage page = BuildFeedPage(xml, kSource, 0);
            QCOMPARE(page.format, FeedFormat::Unreadable);
            QVERIFY(!page.error.isEmpty());
            QVERIFY(
                page.html.contains("This feed could not be read: " + page.error.toHtmlEscaped()));
            QVERIFY(page.html.contains(kSource));
            QCOMPARE(FeedDocumentText(xml), QString());
        }
        QVERIFY(BuildFeedPage("<rss>\n<channel>\n<title>x</titel>", kSource, 0)
                    .error.contains("line 3"));
        QCOMPARE(FeedDocumentText("<v> <CurrentVersion>2.1</CurrentVersion>\n</v>"),
                 QStringLiteral("2.1"));
    }

    void fileNames()
    {
        QCOMPARE(FeedFileName("http://www.news.test/feeds/top.rss"),
                 QStringLiteral("top-news.test.htm"));
        QCOMPARE(FeedFileName("http://www.news.test/other/top.rss"),
                 FeedFileName("http://news.test/feeds/top.rss?x=1"));
        QCOMPARE(FeedFileName("http://www.news.test/"), QStringLiteral("news.test.htm"));
        QCOMPARE(FeedFileName("http://news.test/a%2F..%2Fb:c.rss"),
                 QStringLiteral("a_2F.._2Fb_c-news.test.htm"));
        QCOMPARE(FeedFileName("not an address"), QStringLiteral("feed.htm"));
    }
};

QTEST_MAIN(TestFeedPage)
#include "test_feed_page.moc"
