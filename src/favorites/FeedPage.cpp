#include "favorites/FeedPage.h"

#include "store/CWinInet_URL.h"

#include <QUrl>
#include <QXmlStreamReader>

#include <memory>
#include <vector>

namespace {

// Elements with their text (descendants' text included) and attributes; comments,
// processing instructions and whitespace between elements are not children.
struct Node
{
    QString name; // the local name
    QString text;
    QXmlStreamAttributes attributes;
    std::vector<std::unique_ptr<Node>> children;

    const Node *child(const QString &local) const
    {
        for (const auto &c : children)
            if (c->name == local)
                return c.get();
        return nullptr;
    }
    QString attribute(const char *local) const
    {
        return attributes.value(QLatin1String(local)).toString();
    }
};

std::unique_ptr<Node> parse(const QByteArray &xml, QString &error)
{
    QXmlStreamReader reader(xml);
    std::unique_ptr<Node> root;
    std::vector<Node *> open;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            auto node = std::make_unique<Node>();
            node->name = reader.name().toString();
            node->attributes = reader.attributes();
            Node *raw = node.get();
            if (open.empty())
                root = std::move(node);
            else
                open.back()->children.push_back(std::move(node));
            open.push_back(raw);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!open.empty()) {
                Node *done = open.back();
                open.pop_back();
                // A parent's text holds its children's, as the document's text content does.
                if (!open.empty())
                    open.back()->text += done->text;
            }
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty())
                open.back()->text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        error = QStringLiteral("%1 (line %2, column %3)")
                    .arg(reader.errorString())
                    .arg(reader.lineNumber())
                    .arg(reader.columnNumber());
        return nullptr;
    }
    if (!root)
        error = QStringLiteral("The document is empty.");
    return root;
}

void collect(const Node &node, const QString &name, std::vector<const Node *> &out)
{
    for (const auto &c : node.children) {
        if (c->name == name)
            out.push_back(c.get());
        collect(*c, name, out);
    }
}

const Node *first(const Node &node, const QString &name)
{
    for (const auto &c : node.children) {
        if (c->name == name)
            return c.get();
        if (const Node *found = first(*c, name))
            return found;
    }
    return nullptr;
}

QString esc(const QString &text)
{
    return text.trimmed().toHtmlEscaped();
}

// Escaped for a quoted attribute of either kind of quote.
QString attr(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

// A link of the feed, made absolute against its address; only web addresses become links.
QString linkTo(const QString &address, const QString &source, const QString &shown = QString())
{
    const QString trimmed = address.trimmed();
    const QString label = shown.trimmed().isEmpty() ? trimmed : shown;
    if (trimmed.isEmpty())
        return esc(label);
    const QUrl url = QUrl(source).resolved(QUrl(trimmed));
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
                           scheme != QLatin1String("ftp")))
        return esc(label);
    return QStringLiteral("<a href=\"") + attr(url.toString()) + QStringLiteral("\">") +
           esc(label) + QStringLiteral("</a>");
}

const QString kHeadStart =
    QStringLiteral("<head><META HTTP-EQUIV='MSThemeCompatible' CONTENT='Yes'>");
const QString kStyle = QStringLiteral(
    "<style>*{font-family:Verdana;font-size:small}h1,h2,h2 A{font-family:Times New "
    "Roman;color:darkblue;font-size:medium;font-weight:bold}h1{font-size:large}hr{color:"
    "darkgreen;height:1ex}img{margin:1em}body{padding:2em}</style></head>");

QString atfForm(const QString &action, const QString &source)
{
    return QStringLiteral("<form action=\"") + attr(action) +
           QStringLiteral("\">Source URL: <a id=skl-atf href='") + attr(source) +
           QStringLiteral("'>") + esc(source) +
           QStringLiteral("</a><br><button type=submit style=cursor:hand>Add to "
                          "Favorites</button></form>");
}

struct Channel
{
    QString title, link, description, copyright;
};

struct Item
{
    QString title, link, description;
};

QString feedPage(const Channel &ch, const std::vector<Item> &items, const QString &source,
                 double bookmark)
{
    QString html;
    html.reserve(4096 + qsizetype(items.size()) * 512);
    html += kHeadStart + QStringLiteral("<meta name=description content='") +
            attr(ch.description.trimmed()) + QStringLiteral("'><title>") + esc(ch.title) +
            QStringLiteral("</title>") + kStyle;
    html += QStringLiteral("<body><h1>") + esc(ch.title) + QStringLiteral("</h1>") +
            linkTo(ch.link, source) + QStringLiteral("<p>");
    if (bookmark == 0)
        html += atfForm(QStringLiteral("skl:atf") + source, source);
    html += esc(ch.description) + QStringLiteral("<br><div style=font-size:xx-small>") +
            esc(ch.copyright) + QStringLiteral("</div><hr style=height:1em>");
    for (const Item &item : items) {
        html += QStringLiteral("<h2>");
        html += linkTo(item.link, source, item.title);
        html += QStringLiteral("</h2><p>");
        html += esc(item.description);
        html += QStringLiteral("<hr>");
    }
    html += QStringLiteral("</body>");
    return html;
}

// RSS and RDF: the channel's first seven children name it; the first item's children say at
// which positions every item holds its title, link and description.
QString rssPage(const Node &root, const QString &source, double bookmark, QString &error)
{
    const Node *channel = first(root, QStringLiteral("channel"));
    if (!channel) {
        error = QStringLiteral("The document has no channel: it is no feed.");
        return QString();
    }
    Channel ch;
    const int last = std::min(int(channel->children.size()) - 1, 6);
    for (int i = 0; i <= last; ++i) {
        const Node &c = *channel->children[size_t(i)];
        if (c.name == QLatin1String("item"))
            break;
        if (c.name == QLatin1String("title"))
            ch.title = c.text;
        else if (c.name == QLatin1String("link"))
            ch.link = c.text;
        else if (c.name == QLatin1String("description"))
            ch.description = c.text;
        else if (c.name == QLatin1String("copyright"))
            ch.copyright = c.text;
    }
    std::vector<const Node *> nodes;
    collect(root, QStringLiteral("item"), nodes);
    std::vector<Item> items;
    if (!nodes.empty()) {
        int at[3] = {-1, -1, -1};
        const char *names[3] = {"title", "link", "description"};
        const Node &firstItem = *nodes.front();
        for (int k = 0; k < 3; ++k)
            for (size_t i = 0; i < firstItem.children.size(); ++i)
                if (firstItem.children[i]->name == QLatin1String(names[k])) {
                    at[k] = int(i);
                    break;
                }
        const auto textAt = [](const Node &n, int i) {
            return i >= 0 && size_t(i) < n.children.size() ? n.children[size_t(i)]->text
                                                           : QString();
        };
        items.reserve(nodes.size());
        for (const Node *n : nodes)
            items.push_back({textAt(*n, at[0]), textAt(*n, at[1]), textAt(*n, at[2])});
    }
    return feedPage(ch, items, source, bookmark);
}

QString atomLink(const Node &node)
{
    QString any;
    for (const auto &c : node.children) {
        if (c->name != QLatin1String("link"))
            continue;
        const QString rel = c->attribute("rel");
        if (rel.isEmpty() || rel == QLatin1String("alternate"))
            return c->attribute("href");
        if (any.isEmpty())
            any = c->attribute("href");
    }
    return any;
}

QString childText(const Node &node, const char *name)
{
    const Node *c = node.child(QLatin1String(name));
    return c ? c->text : QString();
}

QString atomPage(const Node &root, const QString &source, double bookmark)
{
    Channel ch{childText(root, "title"), atomLink(root), childText(root, "subtitle"),
               childText(root, "rights")};
    std::vector<Item> items;
    for (const auto &c : root.children) {
        if (c->name != QLatin1String("entry"))
            continue;
        QString text = childText(*c, "summary");
        if (text.trimmed().isEmpty())
            text = childText(*c, "content");
        items.push_back({childText(*c, "title"), atomLink(*c), text});
    }
    return feedPage(ch, items, source, bookmark);
}

QString opmlPage(const Node &root, const QString &source)
{
    QString html = kHeadStart + QStringLiteral("<title>OPML Link List</title></head><body>") +
                   atfForm(QStringLiteral("skl:atf"), source);
    std::vector<const Node *> outlines;
    collect(root, QStringLiteral("outline"), outlines);
    for (const Node *o : outlines) {
        QString title = o->attribute("title");
        if (title.isEmpty())
            title = o->attribute("text");
        html += QStringLiteral("<h2>") + esc(title) + QStringLiteral("</h2>");
        const QString xmlUrl = o->attribute("xmlUrl");
        const QString htmlUrl = o->attribute("htmlUrl");
        if (!xmlUrl.trimmed().isEmpty())
            html += linkTo(xmlUrl, source) + QStringLiteral("<p>");
        if (!htmlUrl.trimmed().isEmpty())
            html += linkTo(htmlUrl, source);
        html += QStringLiteral("<hr>");
    }
    return html + QStringLiteral("</body>");
}

QString messagePage(const QString &source, const QString &error)
{
    return kHeadStart +
           QStringLiteral("<title>Feed</title></head><body><h2>This feed could not "
                          "be read</h2><p>") +
           esc(source) + QStringLiteral("<p>") + esc(error) + QStringLiteral("</body>");
}

} // namespace

FeedPage BuildFeedPage(const QByteArray &xml, const QString &sourceUrl, double bookmark)
{
    FeedPage page;
    std::unique_ptr<Node> root = parse(xml, page.error);
    if (root) {
        const QString &name = root->name;
        if (name == QLatin1String("opml")) {
            page.format = FeedFormat::Opml;
            page.html = opmlPage(*root, sourceUrl);
        } else if (name == QLatin1String("feed")) {
            page.format = FeedFormat::Atom;
            page.html = atomPage(*root, sourceUrl, bookmark);
        } else {
            page.format = name == QLatin1String("RDF") ? FeedFormat::Rdf : FeedFormat::Rss;
            page.html = rssPage(*root, sourceUrl, bookmark, page.error);
        }
    }
    if (page.html.isEmpty()) {
        page.format = FeedFormat::Unreadable;
        page.html = messagePage(sourceUrl, page.error);
    }
    return page;
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
    for (const QChar c : name)
        safe += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ||
                        c == QLatin1Char('.')
                    ? c
                    : QLatin1Char('_');
    if (safe.isEmpty() || safe.startsWith(QLatin1Char('.')))
        safe.prepend(QStringLiteral("feed"));
    return safe + QStringLiteral(".htm");
}

QString FeedDocumentText(const QByteArray &xml)
{
    QString error;
    const std::unique_ptr<Node> root = parse(xml, error);
    return root ? root->text : QString();
}
