#include "FakeDom.h"

#include <QtTest>

class TestFakeDom : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writeByIdThenReadBack();
    void innerHtmlRoundTrip_data();
    void innerHtmlRoundTrip();
    void innerHtmlUsesTheElementAsContext();
    void escaping_data();
    void escaping();
    void insertAdjacentHtml_data();
    void insertAdjacentHtml();
    void outerHtmlReplacesTheElement();
    void styleProperties();
    void formControlState();
    void documentQueries();
    void innerText_data();
    void innerText();
    void compatMode();
    void selectors_data();
    void selectors();
};

void TestFakeDom::writeByIdThenReadBack()
{
    FakeDom dom(QStringLiteral("<html><body><div id=list>old</div><span id=s>x</span>"
                               "<div id=list>second</div></body></html>"));
    DomNode *list = dom.getElementById(QStringLiteral("list"));
    QVERIFY(list);
    list->setInnerHTML(QStringLiteral("<ul><li id=a class='x y'>One<li id=b>Two</ul>"));
    QCOMPARE(dom.getElementById(QStringLiteral("list"))->innerHTML(),
             QStringLiteral("<ul><li id=\"a\" class=\"x y\">One</li><li id=\"b\">Two</li></ul>"));
    // Elements written in are found by id, the first in document order wins.
    QVERIFY(dom.getElementById(QStringLiteral("b")));
    QVERIFY(dom.getElementById(QStringLiteral("a"))->hasClass(QStringLiteral("y")));
    QCOMPARE(dom.getElementById(QStringLiteral("b"))->parent()->localName(), QStringLiteral("ul"));
    dom.getElementById(QStringLiteral("list"))->setInnerHTML(QString());
    QVERIFY(!dom.getElementById(QStringLiteral("a")));
    QCOMPARE(dom.getElementById(QStringLiteral("list"))->childCount(), 0);
    QVERIFY(!dom.getElementById(QString()));

    // A whole-document write replaces the tree.
    dom.setHtml(QStringLiteral("<title>T</title><p id=p>new"));
    QVERIFY(!dom.getElementById(QStringLiteral("s")));
    QCOMPARE(dom.getElementById(QStringLiteral("p"))->textContent(), QStringLiteral("new"));
    QCOMPARE(dom.title(), QStringLiteral("T"));
}

void TestFakeDom::innerHtmlRoundTrip_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nested") << "<div><b>bold <i>both</i></b> plain</div>"
                            << "<div><b>bold <i>both</i></b> plain</div>";
    QTest::newRow("unclosed tags are closed") << "<p>one<p>two"
                                              << "<p>one</p><p>two</p>";
    QTest::newRow("misnested formatting") << "<b><i>x</b>y</i>"
                                          << "<b><i>x</i></b><i>y</i>";
    QTest::newRow("void elements") << "a<br/>b<img src=i.png><hr>"
                                   << "a<br>b<img src=\"i.png\"><hr>";
    QTest::newRow("attribute order kept, names lowered")
        << "<a HREF='u' Target=_blank ID=x>l</a>"
        << "<a href=\"u\" target=\"_blank\" id=\"x\">l</a>";
    QTest::newRow("comment") << "a<!-- c -->b"
                             << "a<!-- c -->b";
    QTest::newRow("script stays raw") << "<script>if (a < b && c) {}</script>"
                                      << "<script>if (a < b && c) {}</script>";
    QTest::newRow("unknown element") << "<my-widget data-x=1>in</my-widget>"
                                     << "<my-widget data-x=\"1\">in</my-widget>";
    QTest::newRow("table parts") << "<table><tr><td>1</td></tr></table>"
                                 << "<table><tbody><tr><td>1</td></tr></tbody></table>";
    QTest::newRow("empty attribute") << "<input checked>"
                                     << "<input checked=\"\">";
}

void TestFakeDom::innerHtmlRoundTrip()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    FakeDom dom(QStringLiteral("<body><div id=t></div></body>"));
    DomNode *t = dom.getElementById(QStringLiteral("t"));
    t->setInnerHTML(html);
    QCOMPARE(t->innerHTML(), expected);
    // Serialising and parsing again is stable.
    t->setInnerHTML(t->innerHTML());
    QCOMPARE(t->innerHTML(), expected);
}

void TestFakeDom::innerHtmlUsesTheElementAsContext()
{
    FakeDom dom(QStringLiteral("<table><tbody id=rows></tbody></table><select id=sel></select>"));
    DomNode *rows = dom.getElementById(QStringLiteral("rows"));
    rows->setInnerHTML(QStringLiteral("<tr id=r1><td>a</td><td>b</td></tr><tr><td>c"));
    QCOMPARE(rows->childElements().size(), 2);
    QCOMPARE(dom.getElementById(QStringLiteral("r1"))->parent(), rows);

    DomNode *sel = dom.getElementById(QStringLiteral("sel"));
    sel->setInnerHTML(QStringLiteral("<option value=1>One<option value=2 selected>Two"));
    QCOMPARE(sel->childElements().size(), 2);
    QCOMPARE(sel->value(), QStringLiteral("2"));

    // A textarea's content is text, not markup.
    FakeDom form(QStringLiteral("<textarea id=ta></textarea>"));
    DomNode *ta = form.getElementById(QStringLiteral("ta"));
    ta->setInnerHTML(QStringLiteral("<b>not bold</b>"));
    QCOMPARE(ta->childElements().size(), 0);
    QCOMPARE(ta->value(), QStringLiteral("<b>not bold</b>"));
}

void TestFakeDom::escaping_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("markup") << "<script>alert(1)</script>";
    QTest::newRow("ampersand entity") << "Tom &amp; Jerry & co";
    QTest::newRow("quotes") << "say \"hi\" and 'bye'";
    QTest::newRow("nbsp") << QString::fromUtf8("a\u00a0b");
    QTest::newRow("unicode") << QString::fromUtf8("Grüße — 日本");
    QTest::newRow("attribute breaker") << "\" onclick=\"evil()";
}

void TestFakeDom::escaping()
{
    QFETCH(QString, text);
    FakeDom dom(QStringLiteral("<div id=t></div>"));
    DomNode *t = dom.getElementById(QStringLiteral("t"));

    // Text written as text comes back as the same text and never as elements.
    t->setInnerText(text);
    QCOMPARE(t->childElements().size(), 0);
    const QString html = t->innerHTML();
    t->setInnerHTML(html);
    QCOMPARE(t->textContent(), text);
    QCOMPARE(t->childElements().size(), 0);

    // Escaped into markup by hand, as the program writes its pages.
    t->setInnerHTML(QStringLiteral("<a id=l title=\"") + FakeDom::escapeAttribute(text) +
                    QStringLiteral("\">") + FakeDom::escapeText(text) + QStringLiteral("</a>"));
    DomNode *link = dom.getElementById(QStringLiteral("l"));
    QVERIFY(link);
    QCOMPARE(link->attribute(QStringLiteral("title")), text);
    QCOMPARE(link->textContent(), text);
    QCOMPARE(link->attributes().size(), 2);

    // The attribute round-trips through outerHTML too.
    QVERIFY(link->setOuterHTML(link->outerHTML()));
    QCOMPARE(dom.getElementById(QStringLiteral("l"))->attribute(QStringLiteral("title")), text);
}

void TestFakeDom::insertAdjacentHtml_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("expected");
    QTest::newRow("beforeBegin") << "beforeBegin"
                                 << "<p>x</p><div id=\"t\"><i>a</i></div>";
    QTest::newRow("afterBegin") << "afterBegin"
                                << "<div id=\"t\"><p>x</p><i>a</i></div>";
    QTest::newRow("beforeEnd") << "beforeend"
                               << "<div id=\"t\"><i>a</i><p>x</p></div>";
    QTest::newRow("afterEnd") << "AFTEREND"
                              << "<div id=\"t\"><i>a</i></div><p>x</p>";
}

void TestFakeDom::insertAdjacentHtml()
{
    QFETCH(QString, where);
    QFETCH(QString, expected);
    FakeDom dom(QStringLiteral("<body><div id=t><i>a</i></div></body>"));
    QVERIFY(dom.getElementById(QStringLiteral("t"))->insertAdjacentHTML(where, "<p>x</p>"));
    QCOMPARE(dom.body()->innerHTML(), expected);
}

void TestFakeDom::outerHtmlReplacesTheElement()
{
    FakeDom dom(QStringLiteral("<body><p>a</p><div id=t>old</div><p>b</p></body>"));
    QVERIFY(dom.getElementById(QStringLiteral("t"))
                ->setOuterHTML(QStringLiteral("<span id=n1>1</span><span id=n2>2</span>")));
    QVERIFY(!dom.getElementById(QStringLiteral("t")));
    QCOMPARE(dom.body()->innerHTML(),
             QStringLiteral("<p>a</p><span id=\"n1\">1</span><span id=\"n2\">2</span><p>b</p>"));
    // Empty markup removes it.
    QVERIFY(dom.getElementById(QStringLiteral("n1"))->setOuterHTML(QString()));
    QVERIFY(!dom.getElementById(QStringLiteral("n1")));

    // A node outside the tree, or the root, cannot be replaced; bad positions are refused.
    auto detached = DomNode::createElement(QStringLiteral("div"));
    QVERIFY(!detached->setOuterHTML(QStringLiteral("<p>")));
    QVERIFY(!detached->insertAdjacentHTML(DomNode::Position::AfterEnd, QStringLiteral("<p>")));
    QVERIFY(!dom.documentElement()->setOuterHTML(QStringLiteral("<p>")));
    QVERIFY(!dom.body()->insertAdjacentHTML(QStringLiteral("middle"), QStringLiteral("<p>")));
}

void TestFakeDom::styleProperties()
{
    FakeDom dom(
        QStringLiteral("<body style=\"ZOOM: 110%\"><div id=t style=\"color:red; background: "
                       "url('a;b.png') no-repeat;display :block\">x</div></body>"));
    DomNode *t = dom.getElementById(QStringLiteral("t"));
    QCOMPARE(t->style(QStringLiteral("display")), QStringLiteral("block"));
    QCOMPARE(t->style(QStringLiteral("background")), QStringLiteral("url('a;b.png') no-repeat"));
    QCOMPARE(dom.body()->style(QStringLiteral("Zoom")), QStringLiteral("110%"));

    t->setStyle(QStringLiteral("display"), QStringLiteral("none"));
    t->setStyle(QStringLiteral("fontWeight"), QStringLiteral("900"));
    QCOMPARE(t->style(QStringLiteral("font-weight")), QStringLiteral("900"));
    QCOMPARE(t->attribute(QStringLiteral("style")),
             QStringLiteral("color: red; background: url('a;b.png') no-repeat; display: none; "
                            "font-weight: 900;"));
    t->setStyle(QStringLiteral("color"), QString());
    QVERIFY(t->style(QStringLiteral("color")).isNull());
    QVERIFY(!t->attribute(QStringLiteral("style")).contains(QStringLiteral("color")));

    // Clearing a property on an unstyled element adds no empty style attribute.
    DomNode *p = dom.body();
    p->setStyle(QStringLiteral("Zoom"), QString());
    QVERIFY(p->style(QStringLiteral("zoom")).isNull());
    auto plain = DomNode::createElement(QStringLiteral("p"));
    plain->setStyle(QStringLiteral("zoom"), QString());
    QVERIFY(!plain->hasAttribute(QStringLiteral("style")));
}

void TestFakeDom::formControlState()
{
    FakeDom dom(QStringLiteral(
        "<form id=f1><input id=t name=q value=start><input type=checkbox id=c>"
        "<input type=radio name=r id=r1 checked><input type=radio name=r id=r2>"
        "<textarea id=ta>hello</textarea><select id=s><option>A<option value=b>B</select>"
        "</form><form id=f2><input type=radio name=r id=r3 checked></form>"
        "<input id=outside form=f1 name=o>"));
    DomNode *t = dom.getElementById(QStringLiteral("t"));
    QCOMPARE(t->value(), QStringLiteral("start"));
    t->setValue(QStringLiteral("typed"));
    QCOMPARE(t->value(), QStringLiteral("typed"));
    QVERIFY(t->outerHTML().contains(QStringLiteral("value=\"start\"")));
    QCOMPARE(dom.getElementById(QStringLiteral("c"))->value(), QStringLiteral("on"));

    DomNode *r2 = dom.getElementById(QStringLiteral("r2"));
    QVERIFY(dom.getElementById(QStringLiteral("r1"))->checked());
    r2->setChecked(true);
    QVERIFY(r2->checked());
    QVERIFY(!dom.getElementById(QStringLiteral("r1"))->checked());
    QVERIFY2(dom.getElementById(QStringLiteral("r3"))->checked(), "other form's group");

    QCOMPARE(dom.getElementById(QStringLiteral("ta"))->value(), QStringLiteral("hello"));
    DomNode *s = dom.getElementById(QStringLiteral("s"));
    QCOMPARE(s->value(), QStringLiteral("A"));
    s->setValue(QStringLiteral("b"));
    QCOMPARE(s->value(), QStringLiteral("b"));

    const auto fields = dom.formFields(dom.getElementById(QStringLiteral("f1")));
    QStringList ids;
    for (DomNode *field : fields)
        ids << field->id();
    QCOMPARE(ids, QStringList({"t", "c", "r1", "r2", "ta", "s", "outside"}));
    QCOMPARE(dom.forms().size(), 2);
}

void TestFakeDom::documentQueries()
{
    FakeDom dom(QStringLiteral(
        "<html><head><title> My\n Page </title><META NAME=Description content='About it'>"
        "<meta name=keywords content='k1, k2'></head><body><h2 id=h2>Two</h2>"
        "<a href='/a'>A</a><a name=anchor>no href</a><map><area href='/b'></map>"
        "<div><h1>One</h1></div><img src=x><iframe src=f></iframe></body></html>"));
    QCOMPARE(dom.title(), QStringLiteral("My Page"));
    QCOMPARE(dom.metaContent(QStringLiteral("description")), QStringLiteral("About it"));
    QCOMPARE(dom.metaContent(QStringLiteral("Keywords")), QStringLiteral("k1, k2"));
    QVERIFY(dom.metaContent(QStringLiteral("author")).isNull());
    const auto links = dom.links();
    QCOMPARE(links.size(), 2);
    QCOMPARE(links[1]->tagName(), QStringLiteral("AREA"));
    const auto headings = dom.headings();
    QCOMPARE(headings.size(), 2);
    QCOMPARE(headings[0]->localName(), QStringLiteral("h2"));
    QCOMPARE(dom.images().size(), 1);
    QCOMPARE(dom.getElementsByTagName(QStringLiteral("IFRAME")).size(), 1);
    QVERIFY(dom.getElementsByTagName(QStringLiteral("*")).size() > 10);

    // The link around a clicked element, as the context menu looks for it.
    FakeDom nested(QStringLiteral("<a href=u id=l><b><i id=in>x</i></b></a>"));
    QCOMPARE(nested.getElementById(QStringLiteral("in"))->closest(QStringLiteral("a")),
             nested.getElementById(QStringLiteral("l")));
}

void TestFakeDom::innerText_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whitespace collapses") << "  a \n\n  b  "
                                          << "a b";
    QTest::newRow("blocks break lines") << "<div>a</div><div>b</div>c"
                                        << "a\nb\nc";
    QTest::newRow("paragraphs leave a blank line") << "<p>a</p><p>b</p>"
                                                   << "a\n\nb";
    QTest::newRow("br") << "a<br>b"
                        << "a\nb";
    QTest::newRow("hidden and script skipped")
        << "a<script>x()</script><span style='display:none'>h</span><style>p{}</style>b"
        << "ab";
    QTest::newRow("inline elements") << "<b>bo</b>ld <i>it</i>"
                                     << "bold it";
    QTest::newRow("table cells")
        << "<table><tr><td>1</td><td>2</td></tr><tr><td>3</td></tr></table>"
        << "1\t2\n3";
    QTest::newRow("pre keeps lines") << "<pre>a\n  b</pre>"
                                     << "a\n  b";
}

void TestFakeDom::innerText()
{
    QFETCH(QString, html);
    QFETCH(QString, expected);
    FakeDom dom(QStringLiteral("<body><div id=t></div></body>"));
    DomNode *t = dom.getElementById(QStringLiteral("t"));
    t->setInnerHTML(html);
    QCOMPARE(t->innerText(), expected);
}

void TestFakeDom::compatMode()
{
    QCOMPARE(FakeDom(QStringLiteral("<p>x")).compatMode(), QStringLiteral("BackCompat"));
    FakeDom standards(QStringLiteral("<!DOCTYPE html><p>x"));
    QCOMPARE(standards.compatMode(), QStringLiteral("CSS1Compat"));
    QVERIFY(standards.toHtml().startsWith(QStringLiteral("<!DOCTYPE html><html>")));
}

void TestFakeDom::selectors_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QStringList>("ids");
    QTest::newRow("type") << "a" << QStringList{"cmd", "web", "plain"};
    QTest::newRow("id") << "#side" << QStringList{"side"};
    QTest::newRow("class, several") << ".x.y" << QStringList{"web"};
    QTest::newRow("prefix") << "a[href^='skl:']" << QStringList{"cmd"};
    QTest::newRow("suffix, unquoted") << "a[href$=.htm]" << QStringList{"web"};
    QTest::newRow("contains") << "[href*=\"site\"]" << QStringList{"web"};
    QTest::newRow("presence") << "input[checked]" << QStringList{"box"};
    QTest::newRow("descendant") << "#side a" << QStringList{"cmd", "web"};
    QTest::newRow("child") << "#side > a" << QStringList{"cmd"};
    QTest::newRow("list") << "#box, #plain" << QStringList{"plain", "box"};
    QTest::newRow("pseudo-class matches nothing") << "a:hover" << QStringList{};
}

void TestFakeDom::selectors()
{
    QFETCH(QString, selector);
    QFETCH(QStringList, ids);
    FakeDom dom(
        QStringLiteral("<div id=side><a id=cmd href='skl:rpt'>r</a><p><a id=web class='x y' "
                       "href='http://site/page.htm'>w</a></p></div><a id=plain class=x>p</a>"
                       "<input id=box type=checkbox checked>"));
    QStringList found;
    for (DomNode *node : dom.document()->querySelectorAll(selector))
        found << node->id();
    QCOMPARE(found, ids);
}

QTEST_GUILESS_MAIN(TestFakeDom)
#include "test_fakedom.moc"
