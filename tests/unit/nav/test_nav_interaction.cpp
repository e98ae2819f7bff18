#include "platform/Document.h"
#include "reader/KeyCommands.h"
#include "reader/OpenAllLinks.h"
#include "reader/WheelGestures.h"

#include <QtTest>

// Keys, the wheel, the context menu, and the link filters of the OpenLinks menu.
class TestNavInteraction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keyTables_data();
    void keyTables();
    void zoomSteps_data();
    void zoomSteps();
    void pageScrolling();
    void wheelDecisions_data();
    void wheelDecisions();
    void contextMenuDecisions_data();
    void contextMenuDecisions();
    void linkFilters_data();
    void linkFilters();
    void selectionLinks();
};

Q_DECLARE_METATYPE(KeyCommand)

void TestNavInteraction::keyTables_data()
{
    QTest::addColumn<QString>("event"); // "down", "up", "page"
    QTest::addColumn<int>("vk");
    QTest::addColumn<int>("mods");
    QTest::addColumn<bool>("textEntry");
    QTest::addColumn<KeyCommand>("command");

    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, alt = Qt::AltModifier,
              shift = Qt::ShiftModifier, keypad = Qt::KeypadModifier;
    // One plain key per table (the rest of the mapping is the engine tests' and the menus');
    // the modifiers, typing and the event kind that must leave a key alone.
    const auto row = [](const char *name, const char *event, int vk, int mods, bool text,
                        KeyCommand c) {
        QTest::newRow(name) << QString::fromLatin1(event) << vk << mods << text << c;
    };
    row("X next", "up", 'X', none, false, KeyCommand::NextWindow);
    row("shift F12 previous", "up", 123, shift, false, KeyCommand::PreviousWindow);
    row("shift F12 while typing", "up", 123, shift, true, KeyCommand::None);
    row("keypad 5 mark", "up", 101, keypad, false, KeyCommand::MarkForClosing);
    row("X while typing", "up", 'X', none, true, KeyCommand::None);
    row("shift X", "up", 'X', shift, false, KeyCommand::None);
    row("ctrl X", "up", 'X', ctrl, false, KeyCommand::None);
    row("X on key down", "down", 'X', none, false, KeyCommand::None);
    row("alt D while typing", "up", 'D', alt, true, KeyCommand::FocusAddressBox);
    row("ctrl released still flagged", "up", 17, ctrl, false, KeyCommand::FocusLargestFrame);
    row("ctrl alt D", "up", 'D', ctrl | alt, false, KeyCommand::None);
    row("V top", "down", 'V', none, false, KeyCommand::PageTop);
    row("V while typing", "down", 'V', none, true, KeyCommand::None);
    row("space", "page", 32, none, false, KeyCommand::FocusDocument);
    row("keypad 0 down", "page", 96, keypad, false, KeyCommand::PageDown);
    row("M while typing", "page", 'M', none, true, KeyCommand::None);
}

void TestNavInteraction::keyTables()
{
    QFETCH(QString, event);
    QFETCH(int, vk);
    QFETCH(int, mods);
    QFETCH(bool, textEntry);
    QFETCH(KeyCommand, command);

    KeyState state;
    state.textEntry = textEntry;
    const auto m = Qt::KeyboardModifiers(mods);
    const KeyCommand got = event == QLatin1String("down") ? keyDownCommand(vk, m, state)
                           : event == QLatin1String("up") ? keyUpCommand(vk, m, state)
                                                          : pageKeyCommand(vk, m, state);
    QCOMPARE(got, command);
}

void TestNavInteraction::zoomSteps_data()
{
    QTest::addColumn<QString>("zoom");
    QTest::addColumn<int>("delta");
    QTest::addColumn<QString>("after");
    QTest::newRow("none, towards the user") << "" << -120 << "95%";
    QTest::newRow("none, away") << "" << 120 << "105%";
    QTest::newRow("page zoom factor") << "1.4" << -120 << "135%";
    QTest::newRow("spaces") << " 80 % " << 120 << "85%";
    QTest::newRow("garbage") << "large" << 120 << "105%";
    QTest::newRow("floor") << "5%" << -120 << "5%";
}

void TestNavInteraction::zoomSteps()
{
    QFETCH(QString, zoom);
    QFETCH(int, delta);
    QFETCH(QString, after);
    QCOMPARE(zoomAfterWheel(zoom, delta), after);
}

void TestNavInteraction::pageScrolling()
{
    // Towards the user: a screen down less the overlap; away: up, never above the top.
    QCOMPARE(pageScrollTarget(0, 600, -120), 480);
    QCOMPARE(pageScrollTarget(1000, 600, 120), 520);
    QCOMPARE(pageScrollTarget(100, 600, 120), 0);
    QCOMPARE(pageScrollTarget(300, 600, 0), 300);
    // A window lower than the overlap still moves forwards.
    QCOMPARE(pageScrollTarget(0, 100, -120), 1);
    QCOMPARE(pageKeyTarget(480, 600, 1), 960);
    QCOMPARE(pageKeyTarget(480, 600, -1), 0);
    // Within the page: never past its end, nor above its top.
    QCOMPARE(clampScrollTop(960, 1000, 600), 400);
    QCOMPARE(clampScrollTop(-20, 1000, 600), 0);
    QCOMPARE(clampScrollTop(960, 500, 600), 0);
    QCOMPARE(clampScrollTop(960, 0, 600), 960); // size not known yet

    // Parts of notches add up; a turn back cancels them.
    int remainder = 0;
    QCOMPARE(wholeNotches(remainder, -40), 0);
    QCOMPARE(wholeNotches(remainder, -40), 0);
    QCOMPARE(wholeNotches(remainder, -50), -1);
    QCOMPARE(remainder, -10);
    QCOMPARE(wholeNotches(remainder, 10), 0);
    QCOMPARE(wholeNotches(remainder, 360), 3);
    QCOMPARE(remainder, 0);
}

Q_DECLARE_METATYPE(WheelAction)

void TestNavInteraction::wheelDecisions_data()
{
    QTest::addColumn<int>("mods");
    QTest::addColumn<bool>("right");
    QTest::addColumn<bool>("optBit8");
    QTest::addColumn<WheelAction>("action");
    QTest::addColumn<bool>("suppress");

    const auto row = [](const char *name, int mods, bool right, bool option, WheelAction a,
                        bool suppress) {
        QTest::newRow(name) << mods << right << option << a << suppress;
    };
    const int ctrl = Qt::ControlModifier;
    row("plain", 0, false, false, WheelAction::PageScroll, false);
    row("plain, option on", 0, false, true, WheelAction::Platform, false);
    row("right held", 0, true, false, WheelAction::Platform, true);
    row("right held, option on", 0, true, true, WheelAction::PageScroll, true);
    row("ctrl", ctrl, false, false, WheelAction::Zoom, false);
    row("ctrl, right held", ctrl, true, true, WheelAction::Zoom, false);
    row("shift", Qt::ShiftModifier, false, false, WheelAction::Platform, false);
    row("alt ctrl", Qt::AltModifier | ctrl, false, false, WheelAction::Platform, false);
}

void TestNavInteraction::wheelDecisions()
{
    QFETCH(int, mods);
    QFETCH(bool, right);
    QFETCH(bool, optBit8);
    QFETCH(WheelAction, action);
    QFETCH(bool, suppress);
    const WheelDecision d = decideWheel(Qt::KeyboardModifiers(mods), right, optBit8);
    QCOMPARE(d.action, action);
    QCOMPARE(d.suppressContextMenu, suppress);
}

Q_DECLARE_METATYPE(ContextMenuAction)

void TestNavInteraction::contextMenuDecisions_data()
{
    QTest::addColumn<bool>("suppress");
    QTest::addColumn<int>("mods");
    QTest::addColumn<bool>("left");
    QTest::addColumn<bool>("onLink");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<ContextMenuAction>("action");

    const auto row = [](const char *name, bool suppress, int mods, bool left, bool onLink,
                        const char *tag, const char *type, bool text, ContextMenuAction a) {
        QTest::newRow(name) << suppress << mods << left << onLink << QString::fromLatin1(tag)
                            << QString::fromLatin1(type) << text << a;
    };
    row("after a wheel", true, 0, true, true, "A", "", true, ContextMenuAction::Nothing);
    row("shift on a link", false, Qt::ShiftModifier, false, true, "A", "", false,
        ContextMenuAction::EngineMenu);
    row("rocker", false, 0, true, false, "BODY", "", false, ContextMenuAction::CloseWindow);
    row("rocker on a link", false, 0, true, true, "A", "", false, ContextMenuAction::CloseWindow);
    row("link", false, 0, false, true, "IMG", "", false, ContextMenuAction::TakeOverLink);
    row("text field", false, 0, false, false, "INPUT", "text", true,
        ContextMenuAction::FormFieldMenu);
    row("untyped input", false, 0, false, false, "INPUT", "", false,
        ContextMenuAction::FormFieldMenu);
    row("textarea", false, 0, false, false, "TEXTAREA", "", false,
        ContextMenuAction::FormFieldMenu);
    row("checkbox", false, 0, false, false, "INPUT", "checkbox", false,
        ContextMenuAction::EngineMenu);
    row("word", false, 0, false, false, "P", "", true, ContextMenuAction::TextMenu);
    row("image", false, 0, false, false, "IMG", "", false, ContextMenuAction::EngineMenu);
}

void TestNavInteraction::contextMenuDecisions()
{
    QFETCH(bool, suppress);
    QFETCH(int, mods);
    QFETCH(bool, left);
    QFETCH(bool, onLink);
    QFETCH(QString, tag);
    QFETCH(QString, type);
    QFETCH(bool, hasText);
    QFETCH(ContextMenuAction, action);

    ContextMenuInput in;
    in.suppress = suppress;
    in.modifiers = Qt::KeyboardModifiers(mods);
    in.leftButtonHeld = left;
    in.onLink = onLink;
    in.tagName = tag;
    in.inputType = type;
    in.hasText = hasText;
    QCOMPARE(decideContextMenu(in), action);

    // The taken-over link: the transient mode only in Tabbed Browser mode.
    QCOMPARE(takeOverLink(4).browsingMode, 5);
    QVERIFY(takeOverLink(4).navigateInOtherWindow);
    QCOMPARE(takeOverLink(1).browsingMode, 1);
    QVERIFY(!takeOverLink(2).navigateInOtherWindow);
}

namespace {

QList<LinkInfo> samplePage()
{
    const auto link = [](const char *href, const char *html = "text", int frame = -1) {
        return LinkInfo{QString::fromLatin1(href), QString::fromLatin1(html), QString(), frame};
    };
    return {
        link("http://www.site.test/a.html"),
        link("mailto:someone@site.test"),
        link("http://www.site.test/b.html#part2"),
        link("http://other.test/c.html", "<IMG src=c.png>"),
        link("http://other.test/files/d.ZIP"),
        link("javascript:void(0)"),
        link("http://www.site.test/song.mp3"),
        link("http://www.site.test/b.html#part3"),
        link("http://other.test/movie.rm"),
        link("http://third.test/e.html", "<b><img src=e.gif></b>"),
        // A web page's links into the program: never followed for it.
        link("skl:del3", "<img src=x>"),
        link("SKL-APP://pages/Start.htm", "<img src=y>"),
        link("http://www.site.test/f.html", "f", 0),
        link("http://other.test/g.html", "<img src=g>", 1),
    };
}

} // namespace

void TestNavInteraction::linkFilters_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("frames");
    QTest::addColumn<QStringList>("expected");

    const auto row = [](const char *name, OpenLinksKind kind, const QStringList &expected,
                        bool frames = false, const char *page = "http://www.site.test/index.html") {
        QTest::newRow(name) << int(kind) << QString(page) << frames << expected;
    };
    const QString a = "http://www.site.test/a.html", b = "http://www.site.test/b.html",
                  c = "http://other.test/c.html", e = "http://third.test/e.html";
    row("all", OpenLinksKind::All, {a, b, c, b, e});
    row("images", OpenLinksKind::Images, {c, e});
    row("internal", OpenLinksKind::Internal, {a, b, b});
    row("external", OpenLinksKind::External, {c, e});
    row("frames instead of the frameset", OpenLinksKind::All,
        {"http://www.site.test/f.html", "http://other.test/g.html"}, true);
    row("local page: internal is file://", OpenLinksKind::Internal, {}, false,
        "file:///home/u/page.html");
}

void TestNavInteraction::linkFilters()
{
    QFETCH(int, kind);
    QFETCH(QString, page);
    QFETCH(bool, frames);
    QFETCH(QStringList, expected);
    QCOMPARE(filterLinks(samplePage(), OpenLinksKind(kind), siteOfPage(page), frames), expected);

    // On a local page, local links are the internal ones.
    const QList<LinkInfo> local = {{QStringLiteral("file:///home/u/b.html"), {}, {}, -1},
                                   {QStringLiteral("http://x.test/"), {}, {}, -1}};
    QCOMPARE(filterLinks(local, OpenLinksKind::Internal, siteOfPage("file:///a"), false),
             QStringList{"file:///home/u/b.html"});
}

void TestNavInteraction::selectionLinks()
{
    const QUrl base(QStringLiteral("http://www.site.test/dir/page.html"));
    const QString html = QStringLiteral(
        "part of <A HREF=\"one.html\">one</a>, <a class=x href='/two.html?a=1&amp;b=2'>"
        "<img src=t.png></a> <a name=anchor>no href</a> <a href=http://other.test/three>3</a>"
        "<a href=\"mailto:x@y.test\">mail</a>");
    const QList<LinkInfo> links = linksInHtml(html, base);
    QCOMPARE(links.size(), 4);
    QCOMPARE(links[0].href, QStringLiteral("http://www.site.test/dir/one.html"));
    QCOMPARE(links[1].href, QStringLiteral("http://www.site.test/two.html?a=1&b=2"));
    QVERIFY(links[1].innerHTML.contains(QLatin1String("<img")));
    QCOMPARE(links[2].href, QStringLiteral("http://other.test/three"));
    QCOMPARE(filterLinks(links, OpenLinksKind::Selected, QString(), false).size(), 3);
    QVERIFY(linksInHtml(QString(), base).isEmpty());
}

QTEST_GUILESS_MAIN(TestNavInteraction)
#include "test_nav_interaction.moc"
