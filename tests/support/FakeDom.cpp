#include "FakeDom.h"

#include <gumbo.h>

#include <QSet>

#include <algorithm>

namespace {

const QSet<QString> &voidElements()
{
    static const QSet<QString> names{"area",  "base",  "basefont", "bgsound", "br",    "col",
                                     "embed", "frame", "hr",       "img",     "input", "keygen",
                                     "link",  "meta",  "param",    "source",  "track", "wbr"};
    return names;
}

const QSet<QString> &rawTextElements()
{
    static const QSet<QString> names{"style",   "script",   "xmp",       "iframe",
                                     "noembed", "noframes", "plaintext", "noscript"};
    return names;
}

// Elements that start and end a line in innerText; the value is the blank lines they require.
int blockBreaks(const QString &name)
{
    static const QSet<QString> single{
        "address", "article", "aside",   "blockquote", "center",   "dd",     "details",
        "dir",     "div",     "dl",      "dt",         "fieldset", "figure", "footer",
        "form",    "h1",      "h2",      "h3",         "h4",       "h5",     "h6",
        "header",  "hr",      "li",      "main",       "menu",     "nav",    "ol",
        "pre",     "section", "summary", "table",      "tbody",    "thead",  "tfoot",
        "tr",      "ul",      "caption", "body",       "html",     "option", "optgroup"};
    if (name == QLatin1String("p"))
        return 2;
    return single.contains(name) ? 1 : 0;
}

const QSet<QString> &unrenderedElements()
{
    static const QSet<QString> names{"head",     "script",   "style",    "title", "template",
                                     "noscript", "noframes", "datalist", "meta",  "link"};
    return names;
}

// Markers for line breaks while innerText is assembled; private-use characters do not occur
// in the text we produce them for.
constexpr QChar kBreak1(0xE000);
constexpr QChar kBreak2(0xE001);

QString collapseWhitespace(const QString &text)
{
    QString out;
    out.reserve(text.size());
    bool space = false;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            space = true;
            continue;
        }
        if (space)
            out += u' ';
        space = false;
        out += c;
    }
    if (space)
        out += u' ';
    return out;
}

// Turns the marker stream into the final text: spaces next to a break vanish, runs of breaks
// become the largest number of newlines asked for, and leading and trailing breaks go.
QString resolveBreaks(const QString &raw)
{
    QString out;
    int pending = 0;
    bool started = false;
    bool pendingSpace = false;
    for (QChar c : raw) {
        if (c == kBreak1 || c == kBreak2) {
            pending = std::max(pending, c == kBreak1 ? 1 : 2);
            pendingSpace = false;
            continue;
        }
        if (c == u' ' && pending == 0 && !out.isEmpty() && !out.endsWith(u'\n')) {
            pendingSpace = true;
            continue;
        }
        if (c == u' ')
            continue;
        if (started && pending > 0)
            out += QString(pending, u'\n');
        else if (pendingSpace)
            out += u' ';
        if (c == u'\n' && !out.isEmpty() && out.endsWith(u' '))
            out.chop(1);
        out += c;
        pending = 0;
        pendingSpace = false;
        started = true;
    }
    return out;
}

QList<std::pair<QString, QString>> parseStyle(const QString &style)
{
    QList<std::pair<QString, QString>> result;
    for (const QString &part : style.split(u';')) {
        const int colon = part.indexOf(u':');
        const QString name = part.left(colon).trimmed().toLower();
        const QString value = part.mid(colon + 1).trimmed();
        if (colon > 0 && !name.isEmpty() && !value.isEmpty())
            result.append({name, value});
    }
    return result;
}

QString serialiseStyle(const QList<std::pair<QString, QString>> &decls)
{
    QStringList parts;
    for (const auto &[name, value] : decls)
        parts << name + QStringLiteral(": ") + value + u';';
    return parts.join(u' ');
}

} // namespace

// Copies gumbo's read-only parse tree into DomNodes.
class GumboConverter
{
public:
    static QString elementName(const GumboElement &element)
    {
        if (element.tag != GUMBO_TAG_UNKNOWN)
            return QString::fromUtf8(gumbo_normalized_tagname(element.tag));
        GumboStringPiece piece = element.original_tag;
        gumbo_tag_from_original_text(&piece);
        return QString::fromUtf8(piece.data, qsizetype(piece.length)).toLower();
    }

    static std::unique_ptr<DomNode> convert(const GumboNode *node)
    {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            return DomNode::createText(QString::fromUtf8(node->v.text.text));
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboElement &element = node->v.element;
            auto result = DomNode::createElement(elementName(element));
            for (unsigned i = 0; i < element.attributes.length; ++i) {
                const auto *attr = static_cast<const GumboAttribute *>(element.attributes.data[i]);
                result->m_attributes.append(
                    {QString::fromUtf8(attr->name), QString::fromUtf8(attr->value)});
            }
            appendChildren(result.get(), element.children);
            return result;
        }
        default: // comments and the like are left out
            return nullptr;
        }
    }

    static void appendChildren(DomNode *parent, const GumboVector &children)
    {
        for (unsigned i = 0; i < children.length; ++i) {
            if (auto child = convert(static_cast<const GumboNode *>(children.data[i])))
                parent->appendChild(std::move(child));
        }
    }
};

// ---- selectors ----

namespace {

struct Compound
{
    QString tag; // empty: any
    QString id;
    QStringList classes;
    QStringList attributes; // present
    bool valid = true;
};

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_';
}

// Compounds joined by descendant combinators, outermost first.
QList<Compound> parseComplexSelector(const QString &text)
{
    QList<Compound> result;
    for (const QString &part : text.split(u' ', Qt::SkipEmptyParts)) {
        Compound current;
        int i = 0;
        const int n = part.size();
        auto readName = [&]() {
            const int start = i;
            while (i < n && isNameChar(part[i]))
                ++i;
            return part.mid(start, i - start);
        };
        while (i < n && current.valid) {
            const QChar c = part[i];
            if (c == u'#') {
                ++i;
                current.id = readName();
            } else if (c == u'.') {
                ++i;
                current.classes << readName();
            } else if (c == u'[') {
                // Presence only: a value test matches nothing.
                const int close = part.indexOf(u']', i);
                const QString name = part.mid(i + 1, close - i - 1).toLower();
                i = close < 0 ? n : close + 1;
                current.valid = close >= 0 && !name.isEmpty() &&
                                std::all_of(name.begin(), name.end(), isNameChar);
                current.attributes << name;
            } else if (isNameChar(c)) {
                current.tag = readName().toLower();
            } else {
                current.valid = false; // pseudo-classes, other combinators and the like
            }
        }
        result.append(current);
    }
    return result;
}

bool matchesCompound(const DomNode *node, const Compound &compound)
{
    if (!compound.valid || !node->isElement())
        return false;
    if (!compound.tag.isEmpty() && compound.tag != node->localName())
        return false;
    if (!compound.id.isEmpty() && node->id() != compound.id)
        return false;
    for (const QString &cls : compound.classes) {
        if (!node->hasClass(cls))
            return false;
    }
    for (const QString &name : compound.attributes) {
        if (!node->hasAttribute(name))
            return false;
    }
    return true;
}

// Right to left: the last compound must match node, the ones before its ancestors.
bool matchesFrom(const DomNode *node, const QList<Compound> &compounds, int index)
{
    if (!matchesCompound(node, compounds[index]))
        return false;
    if (index == 0)
        return true;
    for (const DomNode *a = node->parent(); a && a->isElement(); a = a->parent()) {
        if (matchesFrom(a, compounds, index - 1))
            return true;
    }
    return false;
}

} // namespace

// ---- DomNode ----

namespace {
qint64 g_nextSerial = 1;
}

DomNode::DomNode(Kind kind) : m_kind(kind), m_serial(g_nextSerial++)
{}

bool DomNode::matches(const QString &selector) const
{
    if (!isElement())
        return false;
    for (const QString &part : selector.split(u',')) {
        const QList<Compound> compounds = parseComplexSelector(part);
        if (!compounds.isEmpty() && matchesFrom(this, compounds, int(compounds.size()) - 1))
            return true;
    }
    return false;
}

QList<DomNode *> DomNode::querySelectorAll(const QString &selector)
{
    QList<DomNode *> result;
    forEachElement([&](DomNode *element) {
        if (element->matches(selector))
            result.append(element);
        return true;
    });
    return result;
}

std::unique_ptr<DomNode> DomNode::createElement(const QString &localName)
{
    std::unique_ptr<DomNode> node(new DomNode(Kind::Element));
    node->m_name = localName.toLower();
    return node;
}

std::unique_ptr<DomNode> DomNode::createText(const QString &text)
{
    std::unique_ptr<DomNode> node(new DomNode(Kind::Text));
    node->m_data = text;
    return node;
}

std::unique_ptr<DomNode> DomNode::createDocument()
{
    return std::unique_ptr<DomNode>(new DomNode(Kind::Document));
}

DomNode::~DomNode() = default;

bool DomNode::is(const QString &localName) const
{
    return isElement() && m_name.compare(localName, Qt::CaseInsensitive) == 0;
}

QString DomNode::attribute(const QString &name) const
{
    const QString key = name.toLower();
    for (const auto &[attrName, value] : m_attributes) {
        if (attrName == key)
            return value.isNull() ? QStringLiteral("") : value;
    }
    return QString();
}

bool DomNode::hasAttribute(const QString &name) const
{
    return !attribute(name).isNull();
}

void DomNode::setAttribute(const QString &name, const QString &value)
{
    const QString key = name.toLower();
    for (qsizetype i = 0; i < m_attributes.size(); ++i) {
        if (m_attributes[i].first == key) {
            if (value.isNull())
                m_attributes.removeAt(i);
            else
                m_attributes[i].second = value;
            return;
        }
    }
    if (!value.isNull())
        m_attributes.append({key, value});
}

bool DomNode::hasClass(const QString &name) const
{
    return className().split(u' ', Qt::SkipEmptyParts).contains(name);
}

QList<DomNode *> DomNode::childNodes() const
{
    QList<DomNode *> result;
    for (const auto &c : m_children)
        result.append(c.get());
    return result;
}

QList<DomNode *> DomNode::childElements() const
{
    QList<DomNode *> result;
    for (const auto &c : m_children) {
        if (c->isElement())
            result.append(c.get());
    }
    return result;
}

int DomNode::indexInParent() const
{
    if (!m_parent)
        return -1;
    for (int i = 0; i < m_parent->childCount(); ++i) {
        if (m_parent->m_children[size_t(i)].get() == this)
            return i;
    }
    return -1;
}

DomNode *DomNode::appendChild(std::unique_ptr<DomNode> node)
{
    return insertChild(childCount(), std::move(node));
}

DomNode *DomNode::insertChild(int index, std::unique_ptr<DomNode> node)
{
    if (!node)
        return nullptr;
    index = std::clamp(index, 0, childCount());
    node->m_parent = this;
    DomNode *raw = node.get();
    m_children.insert(m_children.begin() + index, std::move(node));
    return raw;
}

std::unique_ptr<DomNode> DomNode::takeChild(int index)
{
    if (index < 0 || index >= childCount())
        return nullptr;
    auto node = std::move(m_children[size_t(index)]);
    m_children.erase(m_children.begin() + index);
    node->m_parent = nullptr;
    return node;
}

void DomNode::removeChildren()
{
    m_children.clear();
}

DomNode *DomNode::closest(const QString &localName)
{
    for (DomNode *node = this; node; node = node->m_parent) {
        if (node->is(localName))
            return node;
    }
    return nullptr;
}

bool DomNode::forEachElement(const std::function<bool(DomNode *)> &visit)
{
    for (const auto &c : m_children) {
        if (!c->isElement())
            continue;
        if (!visit(c.get()))
            return false;
        if (!c->forEachElement(visit))
            return false;
    }
    return true;
}

DomNode *DomNode::getElementById(const QString &id)
{
    if (id.isEmpty())
        return nullptr;
    DomNode *found = nullptr;
    forEachElement([&](DomNode *element) {
        if (element->id() == id) {
            found = element;
            return false;
        }
        return true;
    });
    return found;
}

QList<DomNode *> DomNode::getElementsByTagName(const QString &name)
{
    QList<DomNode *> result;
    const bool all = name == QLatin1String("*");
    forEachElement([&](DomNode *element) {
        if (all || element->is(name))
            result.append(element);
        return true;
    });
    return result;
}

QString DomNode::textContent() const
{
    if (m_kind == Kind::Text)
        return m_data;
    QString out;
    for (const auto &c : m_children) {
        if (c->isText())
            out += c->m_data;
        else if (c->isElement())
            out += c->textContent();
    }
    return out;
}

void DomNode::appendInnerText(QString &out) const
{
    for (const auto &c : m_children) {
        if (c->isText()) {
            out += collapseWhitespace(c->m_data);
            continue;
        }
        if (!c->isElement() || unrenderedElements().contains(c->m_name))
            continue;
        if (c->style(QStringLiteral("display")) == QLatin1String("none"))
            continue;
        if (c->m_name == QLatin1String("br")) {
            out += u'\n';
            continue;
        }
        const int breaks = blockBreaks(c->m_name);
        const QChar marker = breaks == 2 ? kBreak2 : kBreak1;
        if (breaks)
            out += marker;
        if (c->m_name == QLatin1String("td") || c->m_name == QLatin1String("th")) {
            if (c->indexInParent() > 0 && c->m_parent->childElements().first() != c.get())
                out += u'\t';
        }
        c->appendInnerText(out);
        if (breaks)
            out += marker;
    }
}

QString DomNode::innerText() const
{
    if (!isElement() && m_kind != Kind::Document)
        return textContent();
    QString raw;
    appendInnerText(raw);
    return resolveBreaks(raw);
}

void DomNode::setInnerText(const QString &text)
{
    removeChildren();
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = normalised.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            appendChild(createElement(QStringLiteral("br")));
        if (!lines[i].isEmpty())
            appendChild(createText(lines[i]));
    }
}

void DomNode::serialise(QString &out) const
{
    if (m_kind == Kind::Text) {
        if (m_parent && m_parent->isElement() && rawTextElements().contains(m_parent->m_name))
            out += m_data;
        else
            out += FakeDom::escapeText(m_data);
        return;
    }
    out += u'<';
    out += m_name;
    for (const auto &[name, value] : m_attributes) {
        out += u' ';
        out += name;
        out += QStringLiteral("=\"");
        out += FakeDom::escapeAttribute(value);
        out += u'"';
    }
    out += u'>';
    if (voidElements().contains(m_name))
        return;
    serialiseChildren(out);
    out += QStringLiteral("</") + m_name + u'>';
}

void DomNode::serialiseChildren(QString &out) const
{
    for (const auto &c : m_children)
        c->serialise(out);
}

QString DomNode::innerHTML() const
{
    QString out;
    serialiseChildren(out);
    return out;
}

void DomNode::setInnerHTML(const QString &html)
{
    removeChildren();
    insertChildren(0, FakeDom::parseFragment(html, isElement() ? m_name : QStringLiteral("body")));
}

QString DomNode::outerHTML() const
{
    QString out;
    serialise(out);
    return out;
}

void DomNode::insertChildren(int index, std::vector<std::unique_ptr<DomNode>> nodes)
{
    for (auto &node : nodes)
        insertChild(index++, std::move(node));
}

bool DomNode::setOuterHTML(const QString &html)
{
    if (!m_parent || m_parent->kind() == Kind::Document)
        return false;
    DomNode *parent = m_parent;
    const int index = indexInParent();
    auto nodes =
        FakeDom::parseFragment(html, parent->isElement() ? parent->m_name : QStringLiteral("body"));
    auto self = parent->takeChild(index); // destroys this node when the function returns
    parent->insertChildren(index, std::move(nodes));
    return true;
}

bool DomNode::insertAdjacentHTML(const QString &where, const QString &html)
{
    const QString key = where.toLower();
    const bool outside = key == QLatin1String("beforebegin") || key == QLatin1String("afterend");
    DomNode *into = outside ? m_parent : this;
    if (!isElement() || !into || into->kind() == Kind::Document)
        return false;
    int index = key == QLatin1String("beforebegin")  ? indexInParent()
                : key == QLatin1String("afterend")   ? indexInParent() + 1
                : key == QLatin1String("afterbegin") ? 0
                : key == QLatin1String("beforeend")  ? childCount()
                                                     : -1;
    if (index < 0)
        return false;
    into->insertChildren(index, FakeDom::parseFragment(html, into->m_name));
    return true;
}

QList<std::pair<QString, QString>> DomNode::styleDeclarations() const
{
    return parseStyle(attribute(QStringLiteral("style")));
}

QString DomNode::style(const QString &property) const
{
    const QString name = property.trimmed().toLower();
    for (const auto &[declName, value] : styleDeclarations()) {
        if (declName == name)
            return value;
    }
    return QString();
}

void DomNode::setStyle(const QString &property, const QString &value)
{
    const QString name = property.trimmed().toLower();
    if (name.isEmpty())
        return;
    auto decls = styleDeclarations();
    auto it = std::find_if(decls.begin(), decls.end(),
                           [&](const auto &decl) { return decl.first == name; });
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty()) {
        if (it != decls.end())
            decls.erase(it);
    } else if (it != decls.end()) {
        it->second = trimmed;
    } else {
        decls.append({name, trimmed});
    }
    if (decls.isEmpty() && !hasAttribute(QStringLiteral("style")))
        return;
    setAttribute(QStringLiteral("style"), serialiseStyle(decls));
}

QString DomNode::type() const
{
    const QString t = attribute(QStringLiteral("type")).toLower();
    if (t.isEmpty() && is(QStringLiteral("input")))
        return QStringLiteral("text");
    return t;
}

QString DomNode::value() const
{
    if (m_valueDirty)
        return m_value;
    if (is(QStringLiteral("textarea")))
        return textContent();
    const QString v = attribute(QStringLiteral("value"));
    if (v.isNull() && (type() == QLatin1String("checkbox") || type() == QLatin1String("radio")))
        return QStringLiteral("on");
    return v.isNull() ? QStringLiteral("") : v;
}

void DomNode::setValue(const QString &value)
{
    m_valueDirty = true;
    m_value = value;
}

bool DomNode::checked() const
{
    if (m_checkedDirty)
        return m_checked;
    return hasAttribute(QStringLiteral("checked"));
}

void DomNode::setChecked(bool checked)
{
    m_checkedDirty = true;
    m_checked = checked;
    if (!checked)
        return;
    // One checked radio per group.
    const QString name = attribute(QStringLiteral("name"));
    if (type() != QLatin1String("radio") || name.isEmpty())
        return;
    DomNode *owner = closest(QStringLiteral("form"));
    DomNode *root = this;
    while (root->m_parent)
        root = root->m_parent;
    for (DomNode *other : root->getElementsByTagName(QStringLiteral("input"))) {
        if (other != this && other->type() == QLatin1String("radio") &&
            other->attribute(QStringLiteral("name")) == name &&
            other->closest(QStringLiteral("form")) == owner) {
            other->m_checkedDirty = true;
            other->m_checked = false;
        }
    }
}

// ---- FakeDom ----

FakeDom::FakeDom()
{
    setHtml(QString());
}

FakeDom::FakeDom(const QString &html)
{
    setHtml(html);
}

void FakeDom::setHtml(const QString &html)
{
    const QByteArray utf8 = html.toUtf8();
    GumboOutput *output =
        gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(), size_t(utf8.size()));
    m_document = DomNode::createDocument();
    const GumboDocument &doc = output->document->v.document;
    m_quirks = doc.doc_type_quirks_mode == GUMBO_DOCTYPE_QUIRKS;
    m_document->m_name.clear();
    m_document->m_data = doc.has_doctype ? QString::fromUtf8(doc.name) : QString();
    GumboConverter::appendChildren(m_document.get(), doc.children);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}

DomNode *FakeDom::documentElement() const
{
    for (DomNode *node : m_document->childElements())
        return node;
    return nullptr;
}

DomNode *FakeDom::body() const
{
    DomNode *root = documentElement();
    if (!root)
        return nullptr;
    for (DomNode *node : root->childElements()) {
        if (node->is(QStringLiteral("body")) || node->is(QStringLiteral("frameset")))
            return node;
    }
    return nullptr;
}

QString FakeDom::title() const
{
    const auto titles = getElementsByTagName(QStringLiteral("title"));
    if (titles.isEmpty())
        return QString();
    return collapseWhitespace(titles.first()->textContent()).trimmed();
}

DomNode *FakeDom::getElementById(const QString &id) const
{
    return m_document->getElementById(id);
}

QList<DomNode *> FakeDom::getElementsByTagName(const QString &name) const
{
    return m_document->getElementsByTagName(name);
}

QList<DomNode *> FakeDom::links() const
{
    QList<DomNode *> result;
    m_document->forEachElement([&](DomNode *element) {
        if ((element->is(QStringLiteral("a")) || element->is(QStringLiteral("area"))) &&
            element->hasAttribute(QStringLiteral("href")))
            result.append(element);
        return true;
    });
    return result;
}

QList<DomNode *> FakeDom::forms() const
{
    return getElementsByTagName(QStringLiteral("form"));
}

QList<DomNode *> FakeDom::formFields(DomNode *form) const
{
    QList<DomNode *> result;
    if (!form)
        return result;
    static const QSet<QString> fieldNames{"input", "select", "textarea", "button"};
    m_document->forEachElement([&](DomNode *element) {
        if (fieldNames.contains(element->localName()) &&
            element->closest(QStringLiteral("form")) == form)
            result.append(element);
        return true;
    });
    return result;
}

QList<DomNode *> FakeDom::images() const
{
    return getElementsByTagName(QStringLiteral("img"));
}

QList<DomNode *> FakeDom::headings() const
{
    QList<DomNode *> result;
    m_document->forEachElement([&](DomNode *element) {
        const QString name = element->localName();
        if (name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6')
            result.append(element);
        return true;
    });
    return result;
}

QString FakeDom::metaContent(const QString &name) const
{
    for (DomNode *meta : getElementsByTagName(QStringLiteral("meta"))) {
        if (meta->attribute(QStringLiteral("name")).compare(name, Qt::CaseInsensitive) == 0)
            return meta->attribute(QStringLiteral("content"));
    }
    return QString();
}

std::vector<std::unique_ptr<DomNode>> FakeDom::parseFragment(const QString &html,
                                                             const QString &contextName)
{
    std::vector<std::unique_ptr<DomNode>> result;
    if (html.isEmpty())
        return result;
    GumboOptions options = kGumboDefaultOptions;
    GumboTag context = gumbo_tag_enum(contextName.toLower().toUtf8().constData());
    // Unknown elements parse their content like a div; html and document contexts like body.
    if (context == GUMBO_TAG_UNKNOWN || context == GUMBO_TAG_HTML)
        context = context == GUMBO_TAG_HTML ? GUMBO_TAG_BODY : GUMBO_TAG_DIV;
    options.fragment_context = context;
    options.fragment_namespace = GUMBO_NAMESPACE_HTML;
    const QByteArray utf8 = html.toUtf8();
    GumboOutput *output = gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
    const GumboVector &children = output->root->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        if (auto node = GumboConverter::convert(static_cast<const GumboNode *>(children.data[i])))
            result.push_back(std::move(node));
    }
    gumbo_destroy_output(&options, output);
    return result;
}

// As a browser serialises: text escapes & < > and no-break spaces, attributes & " and them.
static QString serialised(const QString &in, bool attribute)
{
    QString out;
    out.reserve(in.size());
    for (QChar c : in) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c.unicode() == 0xA0)
            out += QStringLiteral("&nbsp;");
        else if (!attribute && c == u'<')
            out += QStringLiteral("&lt;");
        else if (!attribute && c == u'>')
            out += QStringLiteral("&gt;");
        else if (attribute && c == u'"')
            out += QStringLiteral("&quot;");
        else
            out += c;
    }
    return out;
}

QString FakeDom::escapeText(const QString &text)
{
    return serialised(text, false);
}

QString FakeDom::escapeAttribute(const QString &value)
{
    return serialised(value, true);
}
