#include "EventLog.h"
#include "HttpFixture.h"
#include "WebHarness.h"

#include "platform/PageWriter.h"

#include <QtTest>

using namespace WebHarness;

Q_DECLARE_METATYPE(Qt::MouseButton)
Q_DECLARE_METATYPE(Qt::KeyboardModifiers)
Q_DECLARE_METATYPE(WindowDisposition)

class TestWebEngineNavigation : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture *m_http = nullptr;

    static QString line(const char *what, const QUrl &url)
    {
        return QString::fromLatin1(what) + QLatin1Char(' ') + url.toString();
    }
    static bool completed(EventLog &log, const QUrl &url)
    {
        return waitFor([&] { return log.has(line("complete", url)); });
    }
    bool load(WebEngineControl &control, EventLog &log, const QUrl &url)
    {
        log.clear();
        return control.navigate(url) && completed(log, url);
    }
    // The page's own script, in the page's world.
    static void pageScript(WebEngineControl &control, const QString &script)
    {
        runScript(control, script, QWebEngineScript::MainWorld);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        m_http = new HttpFixture(this);
        QVERIFY(m_http->isListening());
        m_http->addSamplePages();
        m_http->addPage(QStringLiteral("/links-frameset.htm"),
                        "<html><head><title>FS</title></head><frameset cols='30%,70%'>"
                        "<frame src='/target.htm?left'><frame src='/links.htm'></frameset></html>");
        m_http->addStatus(QStringLiteral("/missing.htm"), 404,
                          HttpFixture::html(QStringLiteral("Missing"), QStringLiteral("<p>gone")));
        m_http->addStatus(QStringLiteral("/missing-empty.htm"), 404);
        m_http->addStatus(QStringLiteral("/broken.htm"), 500);
        m_http->addRedirect(QStringLiteral("/moved.htm"), QStringLiteral("/target.htm?moved"), 301);
        m_http->addRedirect(QStringLiteral("/found.htm"), QStringLiteral("/target.htm?found"));
        m_http->addHtml(QStringLiteral("/refresh.htm"), QStringLiteral("Refresh"),
                        QStringLiteral("<meta http-equiv=refresh content='0;url=/target.htm?r'>"));
    }
    void cleanupTestCase() { m_platform.reset(); }

    void loadOutcomes_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QUrl>("finalUrl");
        QTest::addColumn<qint32>("error"); // 0: none
        const QUrl refused(
            QStringLiteral("http://127.0.0.1:%1/x.htm").arg(HttpFixture::refusedPort()));
        QTest::newRow("404 with body")
            << m_http->url("/missing.htm") << m_http->url("/missing.htm") << 404;
        QTest::newRow("refused port") << refused << refused << NavErrorCode::CannotConnect;
        QTest::newRow("301") << m_http->url("/moved.htm") << m_http->url("/target.htm?moved") << 0;
    }
    void loadOutcomes()
    {
        QFETCH(QUrl, url);
        QFETCH(QUrl, finalUrl);
        QFETCH(qint32, error);
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        QVERIFY(control->navigate(url));
        QVERIFY2(completed(log, finalUrl), qPrintable(log.lines.join(QLatin1Char('\n'))));
        // A server redirect is part of its request: one beforeNavigate only.
        QCOMPARE(log.navigations.size(), 1);
        QCOMPARE(log.navigations[0].kind, NavigationKind::Program);
        const int before = log.indexOf(line("before", url));
        const int begin = log.indexOf(QStringLiteral("begin"));
        const int navigated = log.indexOf(line("navigated", finalUrl));
        const int interactive = log.indexOf(QStringLiteral("state interactive"));
        const int end = log.indexOf(QStringLiteral("end"));
        const int complete = log.indexOf(line("complete", finalUrl));
        const int stateComplete = log.indexOf(QStringLiteral("state complete"));
        QVERIFY2(before == 0 && before < begin && begin < navigated && navigated < interactive &&
                     interactive < end && end < complete && complete < stateComplete,
                 qPrintable(log.lines.join(QLatin1Char('\n'))));
        if (error == 0) {
            QVERIFY(log.errors.isEmpty());
        } else {
            QCOMPARE(log.errors.size(), 1);
            QCOMPARE(log.errors[0].first, url);
            QCOMPARE(log.errors[0].second, error);
            // The engine's own error page commits after the failure is known; a server's
            // error page is a document that may commit first: the status comes with its end.
            const int failed = log.indexOf(QStringLiteral("error %1").arg(error));
            QVERIFY(failed < end);
            if (url.path() != QLatin1String("/missing.htm"))
                QVERIFY(failed < navigated);
        }
        QCOMPARE(control->locationUrl(), finalUrl);
    }

    void metaRefreshIsReportedAsTheDocumentsOwnNavigation()
    {
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        log.cancel = [](const BeforeNavigateInfo &info) {
            return info.kind == NavigationKind::Redirect;
        };
        const QUrl url = m_http->url(QStringLiteral("/refresh.htm"));
        QVERIFY(control->navigate(url));
        QVERIFY(completed(log, url));
        QVERIFY(waitFor([&] { return log.navigations.size() == 2; }));
        QCOMPARE(log.navigations[1].url, m_http->url(QStringLiteral("/target.htm?r")));
        QCOMPARE(log.navigations[1].kind, NavigationKind::Redirect);
        QVERIFY(!log.navigations[1].linkClicked);
        QTest::qWait(300);
        QCOMPARE(control->locationUrl(), url);
    }

    void headerInjectionIsRefused_data()
    {
        QTest::addColumn<QString>("headers");
        QTest::newRow("bare LF") << QStringLiteral("X-A: 1\nX-B: 2");
        QTest::newRow("CR in value") << QStringLiteral("X-A: 1\rX-B: 2");
        QTest::newRow("LF at the end") << QStringLiteral("X-A: 1\n");
        QTest::newRow("space in name") << QStringLiteral("X A: 1");
        QTest::newRow("no colon") << QStringLiteral("X-A 1");
        QTest::newRow("empty name") << QStringLiteral(": 1");
    }
    void headerInjectionIsRefused()
    {
        QFETCH(QString, headers);
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        QVERIFY(!control->navigate(m_http->url(QStringLiteral("/target.htm")), headers));
        QTest::qWait(100);
        QVERIFY(log.lines.isEmpty());
    }

    void clickKinds_data()
    {
        QTest::addColumn<QString>("element");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("path");
        QTest::addColumn<WindowDisposition>("disposition");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("frame");
        QTest::newRow("frame: plain")
            << "plain" << Qt::LeftButton << Qt::KeyboardModifiers() << "/target.htm"
            << WindowDisposition::CurrentWindow << "" << 1;
        QTest::newRow("frame: ctrl")
            << "plain" << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier)
            << "/target.htm" << WindowDisposition::NewBackgroundTab << "" << 1;
        QTest::newRow("frame: shift")
            << "plain" << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier)
            << "/target.htm" << WindowDisposition::NewWindow << "" << 1;
        QTest::newRow("frame: middle")
            << "plain" << Qt::MiddleButton << Qt::KeyboardModifiers() << "/target.htm"
            << WindowDisposition::NewBackgroundTab << "" << 1;
    }
    void clickKinds()
    {
        QFETCH(QString, element);
        QFETCH(Qt::MouseButton, button);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, path);
        QFETCH(WindowDisposition, disposition);
        QFETCH(QString, target);
        QFETCH(int, frame);
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        const QUrl links = m_http->url(frame < 0 ? QStringLiteral("/links.htm")
                                                 : QStringLiteral("/links-frameset.htm"));
        QVERIFY(load(*control, log, links));
        log.clear();
        log.cancel = [](const BeforeNavigateInfo &) { return true; };
        QVERIFY(clickElementUntil(*control, element, button, modifiers, frame,
                                  [&] { return !log.navigations.isEmpty(); }));
        const BeforeNavigateInfo info = log.navigations.first();
        QCOMPARE(info.url, m_http->url(path));
        QVERIFY(info.linkClicked);
        QCOMPARE(info.kind, NavigationKind::LinkClicked);
        QCOMPARE(info.button, button);
        QCOMPARE(info.modifiers, modifiers);
        QCOMPARE(info.disposition, disposition);
        QCOMPARE(info.targetFrameName, target);
        QCOMPARE(info.source, NavigationSource::WebContent);
        // A frame's own link is its navigation; one that opens a window comes from the top.
        QCOMPARE(info.isTopFrame, frame < 0 || disposition != WindowDisposition::CurrentWindow);
        QTest::qWait(200);
        QVERIFY(log.newWindows.isEmpty());
        QCOMPARE(control->locationUrl(), links);
    }

    void formSubmissionIsAPost()
    {
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        QVERIFY(load(*control, log, m_http->url(QStringLiteral("/form.htm"))));
        m_http->clearRequests();
        log.clear();
        QVERIFY(clickElement(*control, QStringLiteral("go")));
        const QUrl submit = m_http->url(QStringLiteral("/submit"));
        QVERIFY(completed(log, submit));
        QCOMPARE(log.navigations[0].kind, NavigationKind::FormSubmitted);
        const QList<HttpFixture::Request> got = m_http->requests(QStringLiteral("/submit"));
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].method, QByteArray("POST"));
        QCOMPARE(got[0].body, QByteArray("q=hello+world&n=42"));
    }

    // Shift + submit: the engine asks for a new window with the form's address only; the
    // window the program hands back receives the same post.
    void formSentToANewWindowKeepsItsBody()
    {
        auto control = createShownControl(*m_platform);
        auto other = createShownControl(*m_platform);
        EventLog log(*control);
        EventLog otherLog(*other);
        QVERIFY(load(*control, log, m_http->url(QStringLiteral("/form.htm"))));
        m_http->clearRequests();
        log.clear();
        log.newWindow = [&](const NewWindowInfo &) { return other.get(); };
        QVERIFY(clickElementUntil(*control, QStringLiteral("go"), Qt::LeftButton, Qt::ShiftModifier,
                                  -1, [&] { return !log.newWindows.isEmpty(); }));
        const QUrl submit = m_http->url(QStringLiteral("/submit"));
        QVERIFY(completed(otherLog, submit));
        QCOMPARE(log.navigations.size(), 1);
        QCOMPARE(log.navigations[0].kind, NavigationKind::FormSubmitted);
        QVERIFY(log.navigations[0].isPost);
        const QList<HttpFixture::Request> got = m_http->requests(QStringLiteral("/submit"));
        QCOMPARE(got.size(), 1);
        QCOMPARE(got[0].method, QByteArray("POST"));
        QCOMPARE(got[0].body, QByteArray("q=hello+world&n=42"));
        QCOMPARE(control->locationUrl(), m_http->url(QStringLiteral("/form.htm")));
    }

    void webContentCannotReachTheProgramsPagesOrCommands()
    {
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        const QUrl links = m_http->url(QStringLiteral("/links.htm"));
        QVERIFY(load(*control, log, links));
        log.clear();
        // A command link and a link to the program's pages do nothing at all...
        QVERIFY(clickElement(*control, QStringLiteral("cmd")));
        QVERIFY(clickElement(*control, QStringLiteral("app")));
        QVERIFY(clickElement(*control, QStringLiteral("cmd"), Qt::LeftButton, Qt::ControlModifier));
        pageScript(*control, QStringLiteral("location.href = 'skl:del1'"));
        pageScript(*control, QStringLiteral("window.open('skl-app://pages/Start.htm')"));
        // ...as the next, ordinary click shows: its beforeNavigate is the first one.
        log.cancel = [](const BeforeNavigateInfo &) { return true; };
        QVERIFY(clickElement(*control, QStringLiteral("plain")));
        QVERIFY(waitFor([&] { return !log.navigations.isEmpty(); }));
        QTest::qWait(200);
        QCOMPARE(log.navigations.size(), 1);
        QCOMPARE(log.navigations[0].url, m_http->url(QStringLiteral("/target.htm")));
        QVERIFY(log.newWindows.isEmpty());
        QCOMPARE(control->locationUrl(), links);

        // Nor can it load them as resources.
        const QString probe = QStringLiteral(
            "window.__probe = 'pending';"
            "var i = new Image(); i.onload = function(){ window.__probe = 'loaded'; };"
            "i.onerror = function(){ window.__probe = 'refused'; };"
            "i.src = 'skl-app://pages/sklStyle.css';");
        pageScript(*control, probe);
        QVERIFY(waitFor([&] {
            return runScript(*control, QStringLiteral("window.__probe"),
                             QWebEngineScript::MainWorld)
                       .toString() != QLatin1String("pending");
        }));
        QCOMPARE(runScript(*control, QStringLiteral("window.__probe"), QWebEngineScript::MainWorld)
                     .toString(),
                 QStringLiteral("refused"));
    }

    // A page's script cannot go back into a program page; the user's Back can.
    void scriptHistoryStaysOutOfTheProgramsPages()
    {
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        const QUrl page = control->writePage(
            QStringLiteral("<html><body><p>the program's page</p></body></html>"));
        QVERIFY(waitFor([&] { return log.has(QStringLiteral("complete ") + page.toString()); }));
        const QUrl links = m_http->url(QStringLiteral("/links.htm"));
        QVERIFY(load(*control, log, links));
        QVERIFY(control->canGoBack());
        log.clear();
        pageScript(*control, QStringLiteral("history.back()"));
        QTest::qWait(600);
        QCOMPARE(control->locationUrl(), links);
        control->goBack();
        QVERIFY(waitFor([&] { return control->locationUrl() == page; }));
    }

    void writtenPagesAndProgramPages()
    {
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        const QUrl first = m_http->url(QStringLiteral("/target.htm"));
        QVERIFY(load(*control, log, first));
        log.clear();

        // Several megabytes, relative links resolved in the program's pages folder.
        QString html = QStringLiteral("<html><head><link rel=stylesheet href=sklStyle.css>"
                                      "</head><body><p id=first>start</p>");
        const QString row =
            QStringLiteral("<p>") + QString(200, QLatin1Char('x')) + QStringLiteral("</p>");
        for (int i = 0; i < 20000; ++i)
            html += row;
        html += QStringLiteral("<p id=last>end</p></body></html>");
        const QUrl page = control->writePage(html, QStringLiteral("Report.htm"));
        // Writes right after the page apply to the page.
        control->document().setInnerText(QStringLiteral("last"), QStringLiteral("the end"));
        QVERIFY(completed(log, page));
        QVERIFY(log.navigations.isEmpty());
        QString last;
        bool done = false;
        control->document().queryElement(QStringLiteral("last"),
                                         [&](const std::optional<ElementSnapshot> &e) {
                                             last = e ? e->text : QStringLiteral("none");
                                             done = true;
                                         });
        QVERIFY(waitFor([&] { return done; }));
        QCOMPARE(last, QStringLiteral("the end"));
        QStringList sheets;
        done = false;
        control->document().queryStyleSheets([&](const QStringList &s) {
            sheets = s;
            done = true;
        });
        QVERIFY(waitFor([&] { return done; }));
        QVERIFY(!sheets.isEmpty());
        QVERIFY(!sheets.join(QString()).isEmpty());

        // Back returns to the page before.
        QVERIFY(control->canGoBack());
        log.clear();
        control->goBack();
        QVERIFY(completed(log, first));
        QCOMPARE(log.navigations[0].kind, NavigationKind::BackForward);

        // A page of the program's folder.
        log.clear();
        const QUrl start = ProgramPages::url(QStringLiteral("Start.htm"));
        QVERIFY(control->navigate(start));
        QVERIFY(completed(log, start));
        QVERIFY(log.errors.isEmpty());
        QVERIFY(!control->title().isEmpty());
    }
};

SKL_WEB_TEST_MAIN(TestWebEngineNavigation)
#include "test_webengine_navigation.moc"
