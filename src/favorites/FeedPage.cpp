#include "favorites/FeedPage.h"

#include "store/CWinInet_URL.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace {

constexpr QLatin1StringView kAtomNs("http://www.w3.org/2005/Atom");
constexpr QLatin1StringView kAtom03Ns("http://purl.org/atom/ns#");
constexpr QLatin1StringView kRdfNs("http://www.w3.org/1999/02/22-rdf-syntax-ns#");

constexpr QLatin1StringView kHeadStart("<head><META HTTP-EQUIV='MSThemeCompatible' CONTENT='Yes'>");
constexpr QLatin1StringView
    kStyle("<style>*{font-family:Verdana;font-size:small}h1,h2,h2 A{font-family:Times New "
           "Roman;color:darkblue;font-size:medium;font-weight:bold}h1{font-size:large}hr{color:"
           "darkgreen;height:1ex}img{margin:1em}body{padding:2em}</style></head>");

// Escaped for text and for attributes in either kind of quote; surrounding blanks dropped.
void appendEscaped(QString &out, QStringView text)
{
    text = text.trimmed();
    qsizetype plain = 0; // start of the run not yet appended
    for (qsizetype i = 0; i < text.size(); ++i) {
        QLatin1StringView entity;
        switch (text[i].unicode()) {
        case '&':
            entity = QLatin1StringView("&amp;");
            break;
        case '<':
            entity = QLatin1StringView("&lt;");
            break;
        case '>':
            entity = QLatin1StringView("&gt;");
            break;
        case '"':
            entity = QLatin1StringView("&quot;");
            break;
        case '\'':
            entity = QLatin1StringView("&#39;");
            break;
        default:
            continue;
        }
        out += text.sliced(plain, i - plain);
        out += entity;
        plain = i + 1;
    }
    out += text.sliced(plain);
}

// The element names of RSS 0.9x, 1.0 and 2.0; those of other vocabularies mixed into a feed
// (dc:title, media:description, ...) are not the feed's own.
bool rssNamespace(QStringView ns)
{
    return ns.isEmpty() || ns.startsWith(QLatin1StringView("http://purl.org/rss/")) ||
           ns.startsWith(QLatin1StringView("http://backend.userland.com/rss")) ||
           ns == QLatin1StringView("http://my.netscape.com/rdf/simple/0.9/");
}

bool atomNamespace(QStringView ns)
{
    return ns == kAtomNs || ns == kAtom03Ns;
}

struct Texts
{
    QString title, link, description, copyright;
    void clear()
    {
        title.clear();
        link.clear();
        description.clear();
        copyright.clear();
    }
};

class Converter
{
public:
    Converter(const QString &source, double bookmark)
        : m_source(source), m_base(source), m_bookmark(bookmark)
    {}

    FeedPage run(const QByteArray &xml)
    {
        FeedPage page;
        m_out.reserve(xml.size() + 1024);
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            switch (reader.readNext()) {
            case QXmlStreamReader::StartElement:
                ++m_depth;
                if (m_depth == 1)
                    page.format = formatOf(reader);
                else if (!m_capture)
                    startElement(reader, page.format);
                break;
            case QXmlStreamReader::EndElement:
                endElement(page.format);
                --m_depth;
                break;
            case QXmlStreamReader::Characters:
                if (m_capture)
                    m_capture->append(reader.text());
                break;
            default:
                break;
            }
        }
        if (reader.hasError())
            page.error = QStringLiteral("%1 (line %2, column %3)")
                             .arg(reader.errorString())
                             .arg(reader.lineNumber())
                             .arg(reader.columnNumber());
        else if ((page.format == FeedFormat::Rss || page.format == FeedFormat::Rdf) &&
                 !m_channelSeen)
            page.error = QStringLiteral("the document is neither a feed nor an outline (root "
                                        "element \"%1\" without a channel)")
                             .arg(m_rootName);
        if (!page.error.isEmpty()) {
            page.format = FeedFormat::Unreadable;
            page.html = messagePage(page.error);
        } else {
            page.html = page.format == FeedFormat::Opml ? opmlHead() : feedHead();
            page.html.reserve(page.html.size() + m_out.size() + 8);
            page.html += m_out;
            page.html += QLatin1StringView("</body>");
        }
        return page;
    }

private:
    FeedFormat formatOf(const QXmlStreamReader &r)
    {
        m_rootName = r.qualifiedName().toString();
        const QStringView local = r.name();
        if (local == QLatin1StringView("opml"))
            return FeedFormat::Opml;
        if (local == QLatin1StringView("feed") && atomNamespace(r.namespaceUri()))
            return FeedFormat::Atom;
        if (local == QLatin1StringView("RDF") &&
            (r.namespaceUri() == kRdfNs || r.qualifiedName() == QLatin1StringView("RDF")))
            return FeedFormat::Rdf;
        return FeedFormat::Rss;
    }

    void capture(QString &target)
    {
        target.clear();
        m_capture = &target;
        m_captureDepth = m_depth;
    }

    void startElement(const QXmlStreamReader &r, FeedFormat format)
    {
        switch (format) {
        case FeedFormat::Rss:
        case FeedFormat::Rdf:
            startRss(r, format);
            break;
        case FeedFormat::Atom:
            startAtom(r);
            break;
        case FeedFormat::Opml:
            if (r.name() == QLatin1StringView("outline"))
                appendOutline(r.attributes());
            break;
        case FeedFormat::Unreadable:
            break;
        }
    }

    void endElement(FeedFormat format)
    {
        if (m_capture && m_depth == m_captureDepth)
            m_capture = nullptr;
        if (m_depth == m_channelDepth)
            m_channelDepth = 0;
        if (m_depth == m_itemDepth) {
            m_itemDepth = 0;
            m_firstItemDone = true;
            if (format == FeedFormat::Atom && m_item.description.trimmed().isEmpty())
                m_item.description.swap(m_content);
            appendItem();
        }
    }

    // Only element children are counted: whitespace between them is layout, and comments or
    // stray text are not the feed's parts (as a parser that drops ignorable whitespace sees it).
    void startRss(const QXmlStreamReader &r, FeedFormat format)
    {
        // Elements of other vocabularies take their places among the children but name nothing.
        const QStringView name = rssNamespace(r.namespaceUri()) ? r.name() : QStringView();
        if (m_channelDepth && m_depth == m_channelDepth + 1 && m_channelLook) {
            const int index = m_channelChild++;
            if (index > 6 || name == QLatin1StringView("item"))
                m_channelLook = false;
            else if (name == QLatin1StringView("title"))
                capture(m_channel.title);
            else if (name == QLatin1StringView("link"))
                capture(m_channel.link);
            else if (name == QLatin1StringView("description"))
                capture(m_channel.description);
            else if (name == QLatin1StringView("copyright"))
                capture(m_channel.copyright);
            if (m_capture)
                return;
        }
        if (m_itemDepth && m_depth == m_itemDepth + 1) {
            const int index = m_itemChild++;
            QString *slots[3] = {&m_item.title, &m_item.link, &m_item.description};
            static constexpr QLatin1StringView names[3] = {QLatin1StringView("title"),
                                                           QLatin1StringView("link"),
                                                           QLatin1StringView("description")};
            for (int k = 0; k < 3; ++k) {
                if (!m_firstItemDone && m_itemAt[k] < 0 && name == names[k])
                    m_itemAt[k] = index;
                if (m_itemAt[k] == index) {
                    capture(*slots[k]);
                    return;
                }
            }
            return;
        }
        if (name == QLatin1StringView("channel") && !m_channelSeen && !m_itemDepth) {
            m_channelSeen = true;
            m_channelDepth = m_depth;
            m_channelLook = true;
        } else if (name == QLatin1StringView("item") && !m_itemDepth &&
                   (format == FeedFormat::Rss || m_depth == 2)) {
            m_itemDepth = m_depth;
            m_itemChild = 0;
            m_item.clear();
        }
    }

    static QString alternateHref(const QXmlStreamReader &r)
    {
        const QXmlStreamAttributes a = r.attributes();
        const QStringView rel = a.value(QLatin1StringView("rel"));
        if (rel.isEmpty() || rel == QLatin1StringView("alternate"))
            return a.value(QLatin1StringView("href")).toString();
        return QString();
    }

    void startAtom(const QXmlStreamReader &r)
    {
        if (!atomNamespace(r.namespaceUri()))
            return;
        const QStringView name = r.name();
        const bool feedChild = m_depth == 2;
        const bool entryChild = m_itemDepth && m_depth == m_itemDepth + 1;
        if (!feedChild && !entryChild)
            return;
        Texts &t = feedChild ? m_channel : m_item;
        if (name == QLatin1StringView("title")) {
            if (t.title.isEmpty())
                capture(t.title);
        } else if (name == QLatin1StringView("link")) {
            if (t.link.isEmpty())
                t.link = alternateHref(r);
        } else if (feedChild) {
            if (name == QLatin1StringView("entry")) {
                m_itemDepth = m_depth;
                m_item.clear();
                m_content.clear();
            } else if ((name == QLatin1StringView("subtitle") ||
                        name == QLatin1StringView("tagline")) &&
                       t.description.isEmpty()) {
                capture(t.description);
            } else if ((name == QLatin1StringView("rights") ||
                        name == QLatin1StringView("copyright")) &&
                       t.copyright.isEmpty()) {
                capture(t.copyright);
            }
        } else if (name == QLatin1StringView("summary")) {
            if (t.description.isEmpty())
                capture(t.description);
        } else if (name == QLatin1StringView("content")) {
            if (m_content.isEmpty())
                capture(m_content);
        }
    }

    // Only http, https and ftp addresses, relative ones resolved against the feed's, become
    // links; any other scheme (javascript:, data:, skl:, ...) is shown as text.
    void appendLink(QString &out, const QString &address, const QString &label)
    {
        const QString trimmed = address.trimmed();
        const QStringView shown =
            label.trimmed().isEmpty() ? QStringView(trimmed) : QStringView(label);
        if (!trimmed.isEmpty()) {
            const QUrl url = m_base.resolved(QUrl(trimmed));
            const QString scheme = url.scheme();
            if (url.isValid() && !url.host().isEmpty() &&
                (scheme == QLatin1StringView("http") || scheme == QLatin1StringView("https") ||
                 scheme == QLatin1StringView("ftp"))) {
                out += QLatin1StringView("<a href=\"");
                appendEscaped(out, url.toString(QUrl::FullyEncoded));
                out += QLatin1StringView("\">");
                appendEscaped(out, shown);
                out += QLatin1StringView("</a>");
                return;
            }
        }
        appendEscaped(out, shown);
    }

    void appendItem()
    {
        m_out += QLatin1StringView("<h2>");
        appendLink(m_out, m_item.link, m_item.title);
        m_out += QLatin1StringView("</h2><p>");
        appendEscaped(m_out, m_item.description);
        m_out += QLatin1StringView("<hr>");
    }

    // An attribute the outline lacks leaves out its part.
    void appendOutline(const QXmlStreamAttributes &a)
    {
        QStringView title = a.value(QLatin1StringView("title"));
        if (title.trimmed().isEmpty())
            title = a.value(QLatin1StringView("text"));
        if (!title.trimmed().isEmpty()) {
            m_out += QLatin1StringView("<h2>");
            appendEscaped(m_out, title);
            m_out += QLatin1StringView("</h2>");
        }
        const QString xmlUrl = a.value(QLatin1StringView("xmlUrl")).toString();
        if (!xmlUrl.trimmed().isEmpty()) {
            appendLink(m_out, xmlUrl, QString());
            m_out += QLatin1StringView("<p>");
        }
        const QString htmlUrl = a.value(QLatin1StringView("htmlUrl")).toString();
        if (!htmlUrl.trimmed().isEmpty())
            appendLink(m_out, htmlUrl, QString());
        m_out += QLatin1StringView("<hr>");
    }

    void appendForm(QString &out, const QString &action)
    {
        out += QLatin1StringView("<form action=\"");
        appendEscaped(out, action);
        out += QLatin1StringView("\">Source URL: <a id=skl-atf href='");
        appendEscaped(out, m_source);
        out += QLatin1StringView("'>");
        appendEscaped(out, m_source);
        out += QLatin1StringView(
            "</a><br><button type=submit style=cursor:hand>Add to Favorites</button></form>");
    }

    QString feedHead()
    {
        const Texts &c = m_channel;
        QString html = kHeadStart;
        html += QLatin1StringView("<meta name=description content='");
        appendEscaped(html, c.description);
        html += QLatin1StringView("'><title>");
        appendEscaped(html, c.title);
        html += QLatin1StringView("</title>");
        html += kStyle;
        html += QLatin1StringView("<body><h1>");
        appendEscaped(html, c.title);
        html += QLatin1StringView("</h1>");
        appendLink(html, c.link, QString());
        html += QLatin1StringView("<p>");
        if (m_bookmark == 0)
            appendForm(html, QStringLiteral("skl:atf") + m_source);
        appendEscaped(html, c.description);
        html += QLatin1StringView("<br><div style=font-size:xx-small>");
        appendEscaped(html, c.copyright);
        html += QLatin1StringView("</div><hr style=height:1em>");
        return html;
    }

    QString opmlHead()
    {
        QString html = kHeadStart;
        html += QLatin1StringView("<title>OPML Link List</title></head><body>");
        appendForm(html, QStringLiteral("skl:atf"));
        return html;
    }

    QString messagePage(const QString &error) const
    {
        QString html = kHeadStart;
        html += QLatin1StringView("<title>This feed could not be read</title></head><body><h2>"
                                  "This feed could not be read: ");
        appendEscaped(html, error);
        html += QLatin1StringView("</h2><p>Source URL: ");
        appendEscaped(html, m_source);
        html += QLatin1StringView("</body>");
        return html;
    }

    const QString m_source;
    const QUrl m_base;
    const double m_bookmark;
    QString m_out; // the items or outlines, appended as they end
    QString m_rootName;
    int m_depth = 0; // of the element just started; the root is 1
    QString *m_capture = nullptr;
    int m_captureDepth = 0;

    Texts m_channel;
    bool m_channelSeen = false;
    bool m_channelLook = false;
    int m_channelDepth = 0;
    int m_channelChild = 0;

    Texts m_item;
    QString m_content;
    int m_itemDepth = 0;
    int m_itemChild = 0;
    bool m_firstItemDone = false;
    int m_itemAt[3] = {-1, -1, -1}; // title, link, description as the first item has them
};

} // namespace

FeedPage BuildFeedPage(const QByteArray &xml, const QString &sourceUrl, double bookmark)
{
    return Converter(sourceUrl, bookmark).run(xml);
}

QString FeedFileName(const QString &sourceUrl)
{
    CWinInet_URL url;
    QString name;
    if (url.CrackUrl(sourceUrl)) {
        name = url.BaseFileName();
        const QString host = url.BaseHostName();
        if (!host.isEmpty())
            name += QLatin1Char('-') + host;
    }
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name)
        safe += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ||
                        c == QLatin1Char('.')
                    ? c
                    : QLatin1Char('_');
    // A leading "-" reads as an option and a leading "." hides the file.
    while (safe.startsWith(QLatin1Char('-')) || safe.startsWith(QLatin1Char('.')))
        safe.remove(0, 1);
    // Room for ".htm" within a file name's 255 bytes, whatever the characters' UTF-8 length.
    safe.truncate(60);
    if (safe.isEmpty())
        safe = QStringLiteral("feed");
    return safe + QStringLiteral(".htm");
}

QString FeedDocumentText(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    QString text;
    bool root = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement)
            root = true;
        else if (token == QXmlStreamReader::Characters && !reader.isWhitespace())
            text += reader.text();
    }
    if (reader.hasError() || !root)
        return QString();
    return text.trimmed();
}
