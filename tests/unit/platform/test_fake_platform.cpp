#include "BrowserContract.h"
#include "FakePlatform.h"

#include <QTemporaryDir>
#include <QtTest>

// What the double does beyond the shared contract: its timing, the hooks a test drives it
// with, and the fake services.
class TestFakePlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadsRunAfterTheCallUnlessImmediate();
    void pendingLoadsFinishByHand();
    void writesWaitForADocumentAndAreRecorded();
    void queryAnswersAreDroppedWithTheirDocument();
    void programPagesComeFromThePagesFolder();
    void formSubmission();
    void keysAndWheelDefaults();
    void highlightWrapsEveryOccurrence();
    void listenerMayNavigateOrDestroyFromAnEvent();
    void offlineAndDiscardedPages();
    void uiAnswersAndTimers();
    void httpClientAnswers();
    void shellRecords();
};

void TestFakePlatform::loadsRunAfterTheCallUnlessImmediate()
{
    FakePlatform p;
    const QUrl url(QStringLiteral("http://site.test/a"));
    p.web.servePage(url.toString(), QStringLiteral("<title>A</title><p id=p>a</p>"));
    auto control = p.browsers.createControl();
    ContractRecorder rec(*control);
    QVERIFY(control->navigate(url));
    // The program's code after navigate() runs before the engine's events.
    QCOMPARE(rec.events.size(), 1);
    QCOMPARE(rec.events.first().name, QStringLiteral("beforeNavigate"));
    QVERIFY(control->isLoading());
    p.settle();
    QVERIFY(rec.has(QStringLiteral("documentComplete"), url));
    QCOMPARE(rec.titles, QStringList{"A"});
    QVERIFY(!control->isLoading());
    QCOMPARE(p.browsers.last(), control.get());

    // Immediate: everything inside the call.
    p.web.setLoadTiming(FakeWeb::LoadTiming::Immediate);
    rec.clear();
    QVERIFY(control->navigate(url));
    QVERIFY(rec.has(QStringLiteral("downloadComplete")));

    // A second navigation replaces one that has not run yet.
    p.web.setLoadTiming(FakeWeb::LoadTiming::Queued);
    rec.clear();
    const QUrl b(QStringLiteral("http://site.test/b"));
    QVERIFY(control->navigate(url));
    QVERIFY(control->navigate(b));
    p.settle();
    QVERIFY(!rec.has(QStringLiteral("navigateComplete"), url));
    QVERIFY(rec.has(QStringLiteral("navigateComplete"), b));
    QCOMPARE(p.web.requestsFor(url).size(), 2); // the two earlier loads only
}

void TestFakePlatform::pendingLoadsFinishByHand()
{
    FakePlatform p;
    const QUrl slow(QStringLiteral("http://site.test/slow"));
    p.web.serve(slow, FakeResponse::pending());
    FakeBrowserControl control(p.web);
    ContractRecorder rec(control);

    QVERIFY(control.navigate(slow));
    p.settle();
    QVERIFY(control.hasPendingLoad());
    QVERIFY(rec.has(QStringLiteral("downloadBegin")));
    QVERIFY(!rec.has(QStringLiteral("navigateComplete")));
    control.completePendingLoad(QStringLiteral("<div id=late>late</div>"));
    QVERIFY(rec.has(QStringLiteral("documentComplete"), slow));
    QVERIFY(control.dom().getElementById(QStringLiteral("late")));

    rec.clear();
    QVERIFY(control.navigate(slow));
    p.settle();
    control.failPendingLoad(503);
    QCOMPARE(rec.errors.size(), 1);
    QCOMPARE(rec.errors.first().second, 503);

    // Stop ends a hanging load without a document.
    rec.clear();
    QVERIFY(control.navigate(slow));
    p.settle();
    control.stop();
    QVERIFY(!control.hasPendingLoad());
    QVERIFY(rec.has(QStringLiteral("downloadComplete")));
    QVERIFY(!rec.has(QStringLiteral("navigateComplete")));
    QCOMPARE(control.calls().last(), QStringLiteral("stop"));

    // Stopped before the engine began: no download ever starts or ends.
    rec.clear();
    QVERIFY(control.navigate(slow));
    control.stop();
    p.settle();
    QVERIFY(!rec.has(QStringLiteral("downloadBegin")));
    QVERIFY(!rec.has(QStringLiteral("downloadComplete")));
    QVERIFY(!control.isLoading());
}

void TestFakePlatform::writesWaitForADocumentAndAreRecorded()
{
    FakePlatform p;
    const QUrl url(QStringLiteral("http://site.test/w"));
    p.web.servePage(url.toString(), QStringLiteral("<div id=a>x</div><div id=b></div>"));
    FakeBrowserControl control(p.web);
    FakeDocument &doc = control.fakeDocument();

    // Before any document: kept, then applied in order to the next one.
    doc.setInnerHTML(QStringLiteral("a"), QStringLiteral("<i id=i>1</i>"));
    doc.insertAdjacentHTML(QStringLiteral("i"), QStringLiteral("afterEnd"),
                           QStringLiteral("<i>2</i>"));
    doc.setStyle(QStringLiteral("b"), QStringLiteral("display"), QStringLiteral("none"));
    QCOMPARE(doc.pendingWriteCount(), 3);
    QVERIFY(control.navigate(url));
    p.settle();
    QCOMPARE(doc.pendingWriteCount(), 0);
    QCOMPARE(control.dom().getElementById(QStringLiteral("a"))->innerHTML(),
             QStringLiteral("<i id=\"i\">1</i><i>2</i>"));
    QCOMPARE(control.dom().getElementById(QStringLiteral("b"))->style(QStringLiteral("display")),
             QStringLiteral("none"));

    doc.setBodyZoom(QStringLiteral("105%"));
    doc.scrollTo(0, 100000);
    QCOMPARE(doc.snapshot().bodyZoom, QStringLiteral("105%"));
    QCOMPARE(doc.snapshot().scrollTop, doc.snapshot().scrollHeight - doc.snapshot().clientHeight);
    QStringList operations;
    for (const auto &write : doc.writes())
        operations << write.operation;
    QCOMPARE(operations,
             QStringList({"innerHTML", "insertAdjacentHTML", "style", "bodyZoom", "scrollTo"}));
    QCOMPARE(doc.writesOf(QStringLiteral("style")).first().target, QStringLiteral("b"));

    // Elements without an id are reached by the handle an event or query gave out.
    DomNode *second = control.dom().getElementById(QStringLiteral("a"))->child(1);
    const ElementSnapshot snap = doc.elementSnapshot(second);
    doc.setInnerText(snap.ref(), QStringLiteral("<two>"));
    QCOMPARE(second->textContent(), QStringLiteral("<two>"));
    QCOMPARE(doc.writes().last().target, QStringLiteral("#%1").arg(snap.handle));
}

void TestFakePlatform::queryAnswersAreDroppedWithTheirDocument()
{
    FakePlatform p;
    p.web.servePage(QStringLiteral("http://site.test/1"), QStringLiteral("<a href=x>x</a>"));
    p.web.servePage(QStringLiteral("http://site.test/2"), QStringLiteral("<p>none</p>"));
    FakeBrowserControl control(p.web);
    QVERIFY(control.navigate(QUrl(QStringLiteral("http://site.test/1"))));
    p.settle();

    // A query asked before the page changed gets an empty answer once the new one is there.
    p.web.setLoadTiming(FakeWeb::LoadTiming::Immediate);
    int calls = 0;
    QList<LinkInfo> links{{QStringLiteral("stale"), {}, {}, -1}};
    control.document().queryLinks([&](const QList<LinkInfo> &l) {
        ++calls;
        links = l;
    });
    QVERIFY(control.navigate(QUrl(QStringLiteral("http://site.test/2"))));
    p.settle();
    QCOMPARE(calls, 1);
    QVERIFY(links.isEmpty());

    // A control that goes away takes its unanswered queries with it.
    auto shortLived = std::make_unique<FakeBrowserControl>(p.web);
    bool answered = false;
    shortLived->document().queryBodyText([&](const QString &) { answered = true; });
    shortLived.reset();
    p.settle();
    QVERIFY(!answered);
}

void TestFakePlatform::programPagesComeFromThePagesFolder()
{
    QTemporaryDir pages;
    QFile file(pages.filePath(QStringLiteral("Mine.htm")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html><body><a id=cmd href='skl:rpt'>report</a></body></html>");
    file.close();

    FakePlatform p;
    p.web.setPagesFolder(pages.path());
    FakeBrowserControl control(p.web);
    ContractRecorder rec(control);
    QVERIFY(control.navigate(ProgramPages::url(QStringLiteral("Mine.htm"))));
    p.settle();
    QVERIFY(control.dom().getElementById(QStringLiteral("cmd")));
    rec.cancelNavigation = [](const BeforeNavigateInfo &) { return true; };
    QVERIFY(control.click(QStringLiteral("cmd")));
    QCOMPARE(rec.navigations.last().source, NavigationSource::ProgramPage);

    rec.clear();
    rec.cancelNavigation = nullptr;
    QVERIFY(control.navigate(ProgramPages::url(QStringLiteral("Missing.htm"))));
    p.settle();
    QCOMPARE(rec.errors.size(), 1);
    QCOMPARE(rec.errors.first().second, 404);
}

void TestFakePlatform::formSubmission()
{
    FakePlatform p;
    const QUrl url(QStringLiteral("http://site.test/form"));
    p.web.servePage(url.toString(),
                    QStringLiteral("<form id=f method=post action='/save'>"
                                   "<input name=q value='a b&c'><input type=checkbox name=x>"
                                   "<input type=checkbox name=y checked value=yes>"
                                   "<select name=s><option>one<option selected>two</select>"
                                   "<input name=skip disabled value=1>"
                                   "<input type=submit id=go name=go value=Go></form>"
                                   "<form id=g action='/find'><input name=t value='x y'>"
                                   "<button id=find>Find</button></form>"));
    FakeBrowserControl control(p.web);
    ContractRecorder rec(control);
    QVERIFY(control.navigate(url));
    p.settle();

    rec.clear();
    QVERIFY(control.click(QStringLiteral("go")));
    const BeforeNavigateInfo post = rec.navigations.last();
    QCOMPARE(post.kind, NavigationKind::FormSubmitted);
    QVERIFY(post.isPost);
    QCOMPARE(post.postData, QByteArray("q=a+b%26c&y=yes&s=two"));
    p.settle();
    const FakeRequest sent =
        p.web.requestsFor(QUrl(QStringLiteral("http://site.test/save"))).last();
    QCOMPARE(sent.method, QByteArray("POST"));
    QCOMPARE(sent.body, QByteArray("q=a+b%26c&y=yes&s=two"));
    QCOMPARE(sent.header("content-type"), QByteArray("application/x-www-form-urlencoded"));

    QVERIFY(control.navigate(url));
    p.settle();
    rec.clear();
    QVERIFY(control.click(QStringLiteral("find")));
    QCOMPARE(rec.navigations.last().url, QUrl(QStringLiteral("http://site.test/find?t=x+y")));
    QVERIFY(!rec.navigations.last().isPost);

    // Shift + submit asks for a new window.
    QVERIFY(control.navigate(url));
    p.settle();
    rec.clear();
    control.submitForm(QStringLiteral("g"), Qt::ShiftModifier);
    QCOMPARE(rec.navigations.last().disposition, WindowDisposition::NewWindow);
    QCOMPARE(rec.newWindows.size(), 1);
}

void TestFakePlatform::keysAndWheelDefaults()
{
    FakePlatform p;
    p.web.setLoadTiming(FakeWeb::LoadTiming::Immediate);
    p.web.servePage(QStringLiteral("http://site.test/k"),
                    QStringLiteral("<input id=f value=ab><textarea id=t></textarea><p id=p>p</p>"));
    FakeBrowserControl control(p.web);
    ContractRecorder rec(control);
    QVERIFY(control.navigate(QUrl(QStringLiteral("http://site.test/k"))));

    // Editing keys stay in the field; a function key passes through to the program.
    control.focusElement(QStringLiteral("f"));
    control.pressKey(Qt::Key_Backspace);
    control.pressKey(Qt::Key_F5);
    QCOMPARE(control.dom().getElementById(QStringLiteral("f"))->value(), QStringLiteral("a"));
    QCOMPARE(rec.keyPresses.size(), 1);
    QCOMPARE(rec.keyPresses.first().virtualKey, 116);
    QVERIFY(control.fakeDocument().snapshot().activeElementEditable);

    // A rule that prevents the key's default acts in the page: the program had it first.
    rec.clear();
    control.focusElement(ElementRef());
    EventRule rule;
    rule.type = DomEventType::KeyDown;
    rule.keyCode = 88;
    control.document().setEventRules({rule});
    control.pressKey(Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    control.pressKey(Qt::Key_Z, Qt::NoModifier, QStringLiteral("z"));
    QCOMPARE(rec.keyPresses.size(), 2);
    QVERIFY(rec.domEventsOf(DomEventType::KeyDown).first().defaultPrevented);

    // Wheel: the program may consume it; otherwise the page scrolls, except for Ctrl.
    FakeDocument &doc = control.fakeDocument();
    control.wheel(QStringLiteral("p"), -240);
    QCOMPARE(doc.snapshot().scrollTop, 200);
    control.wheel(QStringLiteral("p"), -120, Qt::ControlModifier);
    QCOMPARE(doc.snapshot().scrollTop, 200);
    rec.consumeWheel = true;
    control.wheel(QStringLiteral("p"), -120);
    QCOMPARE(doc.snapshot().scrollTop, 200);
    QCOMPARE(rec.domEventsOf(DomEventType::Wheel).size(), 2);
    control.wheel(QStringLiteral("p"), 100000);
    QCOMPARE(doc.snapshot().scrollTop, 200); // consumed
    rec.consumeWheel = false;
    control.wheel(QStringLiteral("p"), 120 * 100);
    QCOMPARE(doc.snapshot().scrollTop, 0);
}

void TestFakePlatform::highlightWrapsEveryOccurrence()
{
    FakePlatform p;
    p.web.setLoadTiming(FakeWeb::LoadTiming::Immediate);
    p.web.servePage(QStringLiteral("http://site.test/h"),
                    QStringLiteral("<body><p id=p>Qt and qt, QT<b>qt</b></p>"
                                   "<script>var qt;</script><p id=q>web pages</p></body>"));
    FakeBrowserControl control(p.web);
    QVERIFY(control.navigate(QUrl(QStringLiteral("http://site.test/h"))));
    control.document().highlightTerms({QStringLiteral("qt"), QStringLiteral("WEB")},
                                      {QStringLiteral("color:red"), QStringLiteral("color:blue")});
    const auto fonts = control.dom().getElementsByTagName(QStringLiteral("font"));
    QCOMPARE(fonts.size(), 5);
    QCOMPARE(fonts[1]->textContent(), QStringLiteral("qt"));
    QCOMPARE(fonts[0]->attribute(QStringLiteral("style")), QStringLiteral("color:red"));
    QCOMPARE(fonts[4]->attribute(QStringLiteral("style")), QStringLiteral("color:blue"));
    QCOMPARE(control.dom().getElementById(QStringLiteral("p"))->innerText(),
             QStringLiteral("Qt and qt, QTqt"));
    QVERIFY(control.dom()
                .getElementsByTagName(QStringLiteral("script"))
                .first()
                ->childElements()
                .isEmpty());
}

namespace {

// Does what a document window may do from inside an event.
class MeddlingListener : public BrowserControlListener
{
public:
    std::function<void(BrowserControl &)> onNavigateComplete;
    std::function<void(BrowserControl &)> onDownloadComplete;
    QStringList events;

    void navigateComplete(BrowserControl &c, const QUrl &url, bool) override
    {
        events << QStringLiteral("navigateComplete ") + url.path();
        if (onNavigateComplete)
            onNavigateComplete(c);
    }
    void documentComplete(BrowserControl &, const QUrl &url, bool) override
    {
        events << QStringLiteral("documentComplete ") + url.path();
    }
    void downloadComplete(BrowserControl &c) override
    {
        events << QStringLiteral("downloadComplete");
        if (onDownloadComplete)
            onDownloadComplete(c);
    }
};

} // namespace

void TestFakePlatform::listenerMayNavigateOrDestroyFromAnEvent()
{
    FakePlatform p;
    p.web.servePage(QStringLiteral("http://site.test/first"), QStringLiteral("1"));
    p.web.servePage(QStringLiteral("http://site.test/second"), QStringLiteral("2"));
    MeddlingListener listener;
    auto control = p.browsers.createControl();
    control->setListener(&listener);
    listener.onNavigateComplete = [&](BrowserControl &c) {
        listener.onNavigateComplete = nullptr;
        (void)c.navigate(QUrl(QStringLiteral("http://site.test/second")));
    };
    QVERIFY(control->navigate(QUrl(QStringLiteral("http://site.test/first"))));
    p.settle();
    QVERIFY(!listener.events.contains(QStringLiteral("documentComplete /first")));
    QVERIFY(listener.events.contains(QStringLiteral("documentComplete /second")));

    // The window unloads itself when its download ends: the rest of the load is dropped.
    listener.events.clear();
    listener.onDownloadComplete = [&](BrowserControl &) { control.reset(); };
    QVERIFY(control->navigate(QUrl(QStringLiteral("http://site.test/first"))));
    p.settle();
    QVERIFY(!control);
    QCOMPARE(listener.events.last(), QStringLiteral("downloadComplete"));
    QVERIFY(p.browsers.controls().isEmpty());
}

void TestFakePlatform::offlineAndDiscardedPages()
{
    FakePlatform p;
    p.web.setLoadTiming(FakeWeb::LoadTiming::Immediate);
    const QUrl url(QStringLiteral("http://site.test/o"));
    p.web.servePage(url.toString(), QStringLiteral("<p id=p>o</p>"));
    FakeBrowserControl control(p.web);
    ContractRecorder rec(control);

    control.setOffline(true);
    QVERIFY(control.navigate(url));
    QCOMPARE(rec.errors.size(), 1);
    QCOMPARE(rec.errors.first().second, NavErrorCode::CannotConnect);
    QVERIFY(p.web.requests().isEmpty());
    control.setOffline(false);

    QVERIFY(control.navigate(url));
    control.fakeDocument().setInnerText(QStringLiteral("p"), QStringLiteral("changed"));
    control.sleep(SleepMode::Freeze);
    control.wake();
    QCOMPARE(control.dom().getElementById(QStringLiteral("p"))->textContent(),
             QStringLiteral("changed"));
    control.sleep(SleepMode::Discard);
    QVERIFY(control.isAsleep());
    control.wake();
    QCOMPARE(control.dom().getElementById(QStringLiteral("p"))->textContent(), QStringLiteral("o"));
    QCOMPARE(p.web.requestsFor(url).last().kind, NavigationKind::Reload);
}

void TestFakePlatform::uiAnswersAndTimers()
{
    FakeUi ui;
    QCOMPARE(ui.messageBox("a", "t", MessageButtons::YesNo), MessageResult::Yes);
    ui.queueMessageAnswer(MessageResult::Cancel);
    QCOMPARE(ui.messageBox("b", "t", MessageButtons::OkCancel), MessageResult::Cancel);
    QCOMPARE(ui.messageTexts(), QStringList({"a", "b"}));
    QVERIFY(!ui.inputBox("name?", "t", "def"));
    ui.queueInput(QStringLiteral("typed"));
    ui.queueInput(std::nullopt);
    QCOMPARE(ui.inputBox("name?", "t").value_or(QString()), QStringLiteral("typed"));
    QVERIFY(!ui.inputBox("name?", "t"));
    QCOMPARE(ui.prompts().size(), 3);
    QCOMPARE(ui.prompts().first().defaultText, QStringLiteral("def"));

    QStringList fired;
    auto context = std::make_unique<QObject>();
    ui.singleShot(2000, nullptr, [&] { fired << "2000"; });
    const int cancelled = ui.singleShot(10, nullptr, [&] { fired << "cancelled"; });
    ui.singleShot(500, context.get(), [&] {
        fired << "500";
        ui.singleShot(1, nullptr, [&] { fired << "chained"; });
    });
    ui.singleShot(100, context.get(), [&] { fired << "gone"; });
    ui.cancelTimer(cancelled);
    QCOMPARE(ui.fireTimers(600), 2);
    QCOMPARE(fired, QStringList({"gone", "500"}));
    context.reset();
    QCOMPARE(ui.pendingTimers().size(), 2); // 2000 and the chained one
    QCOMPARE(ui.fireTimers(), 2);
    QCOMPARE(fired, QStringList({"gone", "500", "chained", "2000"}));
    QVERIFY(!ui.fireTimer(cancelled));

    auto owner = std::make_unique<QObject>();
    const int orphan = ui.singleShot(1, owner.get(), [&] { fired << "orphan"; });
    owner.reset();
    QVERIFY(ui.pendingTimers().isEmpty());
    QVERIFY(!ui.fireTimer(orphan));

    ui.setKeyDown(Qt::Key_K, true);
    ui.setKeyboardModifiers(Qt::ShiftModifier);
    QVERIFY(ui.isKeyDown(Qt::Key_K));
    QVERIFY(!ui.isKeyDown(Qt::Key_J));
    QCOMPARE(ui.keyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier));
}

void TestFakePlatform::httpClientAnswers()
{
    FakeHttpClient http;
    const QUrl feed(QStringLiteral("http://site.test/feed.xml"));
    http.respond(feed, 200, "<rss/>", "text/xml");
    QList<HttpResponse> answers;
    auto collect = [&](const HttpResponse &r) { answers.append(r); };

    const auto get = [](const QUrl &url) {
        HttpRequest r;
        r.url = url;
        return r;
    };
    http.request(get(feed), collect);
    QVERIFY2(answers.isEmpty(), "never inside the call");
    QCOMPARE(http.inFlight(), 1);
    http.settle();
    QCOMPARE(answers.size(), 1);
    QVERIFY(answers[0].ok());
    QCOMPARE(answers[0].body, QByteArray("<rss/>"));

    HttpRequest head = get(feed);
    head.method = HttpMethod::Head;
    http.request(head, collect);
    http.request(get(QUrl(QStringLiteral("http://nowhere.test/"))), collect);
    http.settle();
    QVERIFY(answers[1].body.isEmpty());
    QCOMPARE(answers[2].statusCode, 0);
    QVERIFY(answers[2].networkError != 0);

    http.setHeld(true);
    const quint64 first = http.request(get(feed), collect);
    const quint64 second = http.request(get(feed), collect);
    http.settle();
    QCOMPARE(answers.size(), 3);
    http.abort(first);
    QVERIFY(answers.last().aborted);
    http.abort(first); // once only
    QCOMPARE(answers.size(), 4);
    QCOMPARE(http.pendingIds(), QList<quint64>{second});
    http.releaseAll();
    QCOMPARE(answers.size(), 5);
    QCOMPARE(http.requests().size(), 5);
}

void TestFakePlatform::shellRecords()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.htm"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    FakeShell shell;
    QVERIFY(shell.openUrl(QUrl(QStringLiteral("ftp://site.test/"))));
    QVERIFY(shell.moveToTrash(path));
    QVERIFY(QFile::exists(path));
    shell.setRemoveTrashedFiles(true);
    QVERIFY(shell.moveToTrash(path));
    QVERIFY(!QFile::exists(path));
    shell.setResult(false);
    QVERIFY(!shell.runProgram(QStringLiteral("mail"), {QStringLiteral("-s")}));
    QCOMPARE(shell.targetsOf(QStringLiteral("moveToTrash")), QStringList({path, path}));
    QCOMPARE(shell.calls().last().arguments, QStringList{"-s"});
}

QTEST_GUILESS_MAIN(TestFakePlatform)
#include "test_fake_platform.moc"
