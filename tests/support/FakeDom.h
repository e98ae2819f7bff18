#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

// A small mutable DOM for the platform double. Pages are parsed with gumbo (the HTML5 parsing
// algorithm, so error recovery matches a browser's) and then copied into this tree, which the
// double reads and writes the way page script would.
class DomNode
{
public:
    enum class Kind { Document, Element, Text };

    static std::unique_ptr<DomNode> createElement(const QString &localName);
    static std::unique_ptr<DomNode> createText(const QString &text);
    static std::unique_ptr<DomNode> createDocument();

    ~DomNode();
    DomNode(const DomNode &) = delete;
    DomNode &operator=(const DomNode &) = delete;

    Kind kind() const { return m_kind; }
    // Unique for the life of the process; stands in for the element's identity in handles.
    qint64 serial() const { return m_serial; }
    bool isElement() const { return m_kind == Kind::Element; }
    bool isText() const { return m_kind == Kind::Text; }
    // Lower case ("a", "input"); empty for anything but an element.
    QString localName() const { return m_name; }
    // Upper case, as tagName reports HTML elements.
    QString tagName() const { return m_name.toUpper(); }
    bool is(const QString &localName) const;

    // Text data.
    QString data() const { return m_data; }

    // Attributes keep their source order; a null string means "absent".
    QString attribute(const QString &name) const;
    bool hasAttribute(const QString &name) const;
    void setAttribute(const QString &name, const QString &value);
    QString id() const { return attribute(QStringLiteral("id")); }
    QString className() const { return attribute(QStringLiteral("class")); }
    bool hasClass(const QString &name) const;
    QString href() const { return attribute(QStringLiteral("href")); }

    DomNode *parent() const { return m_parent; }
    int childCount() const { return int(m_children.size()); }
    QList<DomNode *> childNodes() const;
    QList<DomNode *> childElements() const;
    int indexInParent() const;
    DomNode *appendChild(std::unique_ptr<DomNode> node);
    DomNode *insertChild(int index, std::unique_ptr<DomNode> node);
    std::unique_ptr<DomNode> takeChild(int index);
    void removeChildren();
    // This element or its nearest ancestor with the given local name.
    DomNode *closest(const QString &localName);

    DomNode *getElementById(const QString &id);
    // "*" gives every element; names compare case-insensitively.
    QList<DomNode *> getElementsByTagName(const QString &name);
    // CSS selectors: type, #id, .class, [attr], descendants, comma lists. Anything else
    // matches nothing.
    bool matches(const QString &selector) const;
    QList<DomNode *> querySelectorAll(const QString &selector);
    // Depth-first, document order, descendants only; return false from visit to stop.
    bool forEachElement(const std::function<bool(DomNode *)> &visit);

    QString textContent() const;
    QString innerText() const;
    // Replaces the children by the text; line breaks become <br> as in a browser.
    void setInnerText(const QString &text);
    QString innerHTML() const;
    void setInnerHTML(const QString &html);
    QString outerHTML() const;
    // Fails for a node without a parent (as the DOM throws for it).
    [[nodiscard]] bool setOuterHTML(const QString &html);
    // "beforeBegin", "afterbegin", ... case-insensitively.
    [[nodiscard]] bool insertAdjacentHTML(const QString &where, const QString &html);

    // Inline style, read and written through the style attribute, by CSS property name in any
    // case; an empty value removes it.
    QString style(const QString &property) const;
    void setStyle(const QString &property, const QString &value);
    QList<std::pair<QString, QString>> styleDeclarations() const;

    // Form control state: the live value/checked, which starts from the markup and then
    // departs from it (outerHTML keeps showing the markup, as in a browser).
    QString value() const;
    void setValue(const QString &value);
    bool checked() const;
    void setChecked(bool checked);
    // The element's type attribute in lower case, "text" for an input without one.
    QString type() const;

private:
    explicit DomNode(Kind kind);
    friend class FakeDom;
    friend class GumboConverter;

    void serialise(QString &out) const;
    void serialiseChildren(QString &out) const;
    void appendInnerText(QString &out) const;
    void insertChildren(int index, std::vector<std::unique_ptr<DomNode>> nodes);

    Kind m_kind;
    qint64 m_serial;
    QString m_name;
    QString m_data;
    QList<std::pair<QString, QString>> m_attributes;
    DomNode *m_parent = nullptr;
    std::vector<std::unique_ptr<DomNode>> m_children;
    bool m_valueDirty = false;
    QString m_value;
    bool m_checkedDirty = false;
    bool m_checked = false;
};

class FakeDom
{
public:
    FakeDom();
    explicit FakeDom(const QString &html);

    // Replaces the whole document, as document.open/write/close does.
    void setHtml(const QString &html);

    DomNode *document() const { return m_document.get(); }
    DomNode *documentElement() const;
    DomNode *body() const;

    QString title() const;
    // "BackCompat" for a quirks-mode document, else "CSS1Compat".
    QString compatMode() const
    {
        return m_quirks ? QStringLiteral("BackCompat") : QStringLiteral("CSS1Compat");
    }

    DomNode *getElementById(const QString &id) const;
    QList<DomNode *> getElementsByTagName(const QString &name) const;
    // a and area elements with an href, in document order.
    QList<DomNode *> links() const;
    QList<DomNode *> forms() const;
    // The fields of a form: input, select, textarea and button elements inside it.
    QList<DomNode *> formFields(DomNode *form) const;
    QList<DomNode *> images() const;
    // h1 to h6 in document order.
    QList<DomNode *> headings() const;
    // content of the first meta element whose name matches case-insensitively; null if none.
    QString metaContent(const QString &name) const;

    // Parses html as the children of an element with the given local name.
    static std::vector<std::unique_ptr<DomNode>> parseFragment(const QString &html,
                                                               const QString &contextName);
    static QString escapeText(const QString &text);
    static QString escapeAttribute(const QString &value);

private:
    std::unique_ptr<DomNode> m_document;
    bool m_quirks = false;
};
