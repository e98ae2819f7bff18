#include "EventLog.h"
#include "HttpFixture.h"
#include "WebHarness.h"

#include "platform/PageWriter.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace WebHarness;

// A user agent set on a control: every page completes on its bridge's word (never by the
// bridge wait's fallback), and the server and the page's script see the same agent.
class TestWebEngineUserAgent : public QObject
{
    Q_OBJECT

private:
    static inline const QString kAgent = QStringLiteral("Skimline 9.9; Mozilla/5.0 (X11) Test");
    static inline const QString kOtherAgent = QStringLiteral("SkimlineOther/2.0");

    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture *m_http = nullptr;
    QTemporaryDir m_files;

    static bool completes(WebEngineControl &control, EventLog &log, const QUrl &url,
                          const QString &headers = QString())
    {
        log.clear();
        return control.navigate(url, headers) &&
               waitFor([&] { return log.has(QStringLiteral("complete ") + url.toString()); });
    }
    static QString pageAgent(WebEngineControl &control)
    {
        return runScript(control, QStringLiteral("navigator.userAgent"),
                         QWebEngineScript::MainWorld)
            .toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        m_http = new HttpFixture(this);
        QVERIFY(m_http->isListening());
        m_http->addSamplePages();
        QVERIFY(m_files.isValid());
        QFile file(m_files.filePath(QStringLiteral("local.htm")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(HttpFixture::html(QStringLiteral("Local"), QStringLiteral("<p>local</p>")));
    }
    void cleanupTestCase() { m_platform.reset(); }

    void pagesCompleteOnTheirBridgeWithAnAgentSet_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("headers");
        const QString agentLine = QStringLiteral("User-Agent: ") + kAgent + QStringLiteral("\r\n");
        QTest::newRow("web page") << m_http->url(QStringLiteral("/target.htm")) << QString();
        // As the loading queue sends it: the agent also among the extra headers.
        QTest::newRow("web page, agent header")
            << m_http->url(QStringLiteral("/target.htm")) << agentLine;
        QTest::newRow("program page")
            << ProgramPages::url(QStringLiteral("Start.htm")) << agentLine;
        QTest::newRow("local file")
            << QUrl::fromLocalFile(m_files.filePath(QStringLiteral("local.htm"))) << agentLine;
    }
    void pagesCompleteOnTheirBridgeWithAnAgentSet()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, headers);
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        control->setUserAgent(kAgent);
        QCOMPARE(control->userAgent(), kAgent);
        // Twice: the second load replaces a live document with a bridge of its own.
        for (int round = 0; round < 2; ++round) {
            m_http->clearRequests();
            QVERIFY2(completes(*control, log, url, headers), qPrintable(log.lines.join('\n')));
            QCOMPARE(control->bridgeFallbackCount(), 0);
            QCOMPARE(log.count(QStringLiteral("begin")), 1);
            QCOMPARE(log.count(QStringLiteral("navigated ") + url.toString()), 1);
        }
        QCOMPARE(pageAgent(*control), kAgent);
        if (url.scheme() == QLatin1String("http")) {
            const auto sent = m_http->requests(url.path());
            QCOMPARE(sent.size(), 1);
            QCOMPARE(sent[0].header("User-Agent"), kAgent.toUtf8());
        }
    }

    void aControlWithAnotherAgentSendsItsOwn()
    {
        auto first = createShownControl(*m_platform);
        first->setUserAgent(kAgent);
        auto other = createShownControl(*m_platform);
        EventLog log(*other);
        other->setUserAgent(kOtherAgent);
        QCOMPARE(other->userAgent(), kOtherAgent);
        QCOMPARE(first->userAgent(), kAgent);
        const QUrl url = m_http->url(QStringLiteral("/target.htm"));
        m_http->clearRequests();
        QVERIFY(completes(*other, log, url));
        QCOMPARE(other->bridgeFallbackCount(), 0);
        QCOMPARE(m_http->requests(url.path()).value(0).header("User-Agent"), kOtherAgent.toUtf8());
        // Still the program's agent for a control that sets none.
        auto plain = createShownControl(*m_platform);
        QCOMPARE(plain->userAgent(), kAgent);
    }

    // The profile takes the first agent while another control of it is loading: the engine
    // restarts that load under the new agent, and it still completes once, on its bridge.
    void theFirstAgentArrivesDuringALoad()
    {
        auto platform = createPlatform();
        m_http->addSlow(QStringLiteral("/slow.htm"),
                        HttpFixture::html(QStringLiteral("Slow"), QStringLiteral("<p>slow")), 400);
        auto loading = createShownControl(*platform);
        EventLog log(*loading);
        const QUrl url = m_http->url(QStringLiteral("/slow.htm"));
        QVERIFY(loading->navigate(url));
        QVERIFY(waitFor([&] { return m_http->inFlight() > 0; }));
        auto other = createShownControl(*platform);
        other->setUserAgent(kOtherAgent);
        QVERIFY(waitFor([&] { return log.has(QStringLiteral("complete ") + url.toString()); }));
        QTest::qWait(300); // a second end would come now
        QCOMPARE(log.count(QStringLiteral("complete ") + url.toString()), 1);
        QCOMPARE(loading->bridgeFallbackCount(), 0);
        QCOMPARE(pageAgent(*loading), kOtherAgent);
        QCOMPARE(log.navigations.size(), 1);
    }

    // The engine's error page greets like any document, before or after the failure is known;
    // either way the load ends, with no fallback, and the next page is the bridge's again.
    void aFailedLoadEndsOnItsOwnBridge()
    {
        auto control = createShownControl(*m_platform);
        EventLog log(*control);
        control->setUserAgent(kAgent);
        const QUrl refused(
            QStringLiteral("http://127.0.0.1:%1/x.htm").arg(HttpFixture::refusedPort()));
        QVERIFY2(completes(*control, log, refused), qPrintable(log.lines.join('\n')));
        QCOMPARE(log.errors.size(), 1);
        QCOMPARE(log.count(QStringLiteral("navigated ") + refused.toString()), 1);
        QVERIFY(log.indexOf(QStringLiteral("error %1").arg(NavErrorCode::CannotConnect)) <
                log.indexOf(QStringLiteral("navigated ") + refused.toString()));
        QCOMPARE(control->bridgeFallbackCount(), 0);
        QVERIFY(completes(*control, log, m_http->url(QStringLiteral("/target.htm"))));
        QCOMPARE(control->bridgeFallbackCount(), 0);
        QVERIFY(!log.lines.join(QLatin1Char(' ')).contains(QLatin1String("chrome-error")));
    }
};

SKL_WEB_TEST_MAIN(TestWebEngineUserAgent)
#include "test_webengine_useragent.moc"
