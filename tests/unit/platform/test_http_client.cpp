#include "FakePlatform.h"
#include "HttpFixture.h"

#include <QDeadlineTimer>
#include <QtTest>

#include <memory>

// What the program relies on from its HTTP client, checked on the double and on QtHttpClient
// against a local server.
namespace {

class Harness
{
public:
    virtual ~Harness() = default;
    virtual HttpClient &client() = 0;
    // Serves body at path, answered delayMs late; returns the address.
    virtual QUrl serve(const QString &path, const QByteArray &body, int status = 200,
                       int delayMs = 0) = 0;
    virtual QUrl unreachable() = 0;
};

class FakeHarness : public Harness
{
public:
    HttpClient &client() override { return m_http; }
    QUrl serve(const QString &path, const QByteArray &body, int status, int delayMs) override
    {
        const QUrl url(QStringLiteral("http://site.test") + path);
        m_http.respond(url, status, body);
        m_http.setDelay(url, delayMs);
        return url;
    }
    QUrl unreachable() override { return QUrl(QStringLiteral("http://nowhere.test/")); }

private:
    FakeHttpClient m_http;
};

class QtHarness : public Harness
{
public:
    HttpClient &client() override { return m_http; }
    QUrl serve(const QString &path, const QByteArray &body, int status, int delayMs) override
    {
        m_server.addHandler(path, [=](const HttpFixture::Request &) {
            HttpFixture::Response r;
            r.status = status;
            r.body = body;
            r.delayMs = delayMs;
            return r;
        });
        return m_server.url(path);
    }
    QUrl unreachable() override
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(HttpFixture::refusedPort()));
    }

private:
    HttpFixture m_server;
    QtHttpClient m_http;
};

HttpRequest get(const QUrl &url, int timeoutMs = 30000)
{
    HttpRequest r;
    r.url = url;
    r.timeoutMs = timeoutMs;
    return r;
}

// Runs the event loop until condition holds; the limit only keeps a broken build from hanging.
bool waitFor(const std::function<bool()> &condition)
{
    const QDeadlineTimer limit(20000);
    while (!condition() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return condition();
}

} // namespace

class TestHttpClient : public QObject
{
    Q_OBJECT

    static std::unique_ptr<Harness> harness()
    {
        QFETCH_GLOBAL(bool, real);
        if (real)
            return std::make_unique<QtHarness>();
        return std::make_unique<FakeHarness>();
    }

private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<bool>("real");
        QTest::newRow("double") << false;
        QTest::newRow("QtHttpClient") << true;
    }

    // Answers come from the event loop, never inside the call; HEAD has no body; a status or
    // an unreachable host is a failure with its reason.
    void answers()
    {
        auto h = harness();
        const QUrl feed = h->serve(QStringLiteral("/feed.xml"), "<rss/>");
        const QUrl gone = h->serve(QStringLiteral("/gone"), "missing", 404);
        QList<HttpResponse> got;
        const auto collect = [&](const HttpResponse &r) { got.append(r); };
        h->client().request(get(feed), collect);
        QVERIFY2(got.isEmpty(), "never inside the call");
        QCOMPARE(h->client().inFlight(), 1);
        QVERIFY(waitFor([&] { return got.size() == 1; }));
        QVERIFY(got[0].ok());
        QCOMPARE(got[0].body, QByteArray("<rss/>"));
        QCOMPARE(got[0].finalUrl, feed);

        HttpRequest head = get(feed);
        head.method = HttpMethod::Head;
        h->client().request(head, collect);
        QVERIFY(waitFor([&] { return got.size() == 2; }));
        QVERIFY(got[1].ok());
        QVERIFY(got[1].body.isEmpty());
        h->client().request(get(gone), collect);
        QVERIFY(waitFor([&] { return got.size() == 3; }));
        QCOMPARE(got[2].statusCode, 404);
        QVERIFY(!got[2].ok());
        h->client().request(get(h->unreachable()), collect);
        QVERIFY(waitFor([&] { return got.size() == 4; }));
        QCOMPARE(got[3].statusCode, 0);
        QVERIFY(got[3].networkError != 0);
        QVERIFY(!got[3].errorText.isEmpty());
        QCOMPARE(h->client().inFlight(), 0);
    }

    // A server that does not answer in time and a body over the cap both fail the request
    // without a body; a body at the cap is fine.
    void timeoutAndBodyCap()
    {
        auto h = harness();
        const QUrl slow = h->serve(QStringLiteral("/slow"), "late", 200, 10000);
        const QUrl big = h->serve(QStringLiteral("/big"), QByteArray(64 * 1024, 'b'));
        const QUrl exact = h->serve(QStringLiteral("/exact"), QByteArray(1000, 'e'));
        QList<HttpResponse> got;
        const auto collect = [&](const HttpResponse &r) { got.append(r); };
        h->client().request(get(slow, 200), collect);
        QVERIFY(waitFor([&] { return got.size() == 1; }));
        QVERIFY(got[0].timedOut);
        QVERIFY(!got[0].ok());
        QVERIFY(got[0].body.isEmpty());

        HttpRequest capped = get(big);
        capped.maxBodyBytes = 1000;
        h->client().request(capped, collect);
        QVERIFY(waitFor([&] { return got.size() == 2; }));
        QVERIFY(!got[1].ok());
        QVERIFY(!got[1].timedOut);
        QVERIFY(got[1].body.isEmpty());
        QVERIFY(!got[1].errorText.isEmpty());
        capped.url = exact;
        h->client().request(capped, collect);
        QVERIFY(waitFor([&] { return got.size() == 3; }));
        QVERIFY(got[2].ok());
        QCOMPARE(got[2].body.size(), 1000);
    }

    // An aborted request still gets its callback, once; the others go on.
    void abortCallsBackOnce()
    {
        auto h = harness();
        const QUrl slow = h->serve(QStringLiteral("/slow"), "late", 200, 10000);
        const QUrl quick = h->serve(QStringLiteral("/quick"), "quick", 200, 300);
        QList<HttpResponse> aborted;
        QList<HttpResponse> others;
        const quint64 id =
            h->client().request(get(slow), [&](const HttpResponse &r) { aborted.append(r); });
        h->client().request(get(quick), [&](const HttpResponse &r) { others.append(r); });
        h->client().abort(id);
        h->client().abort(id);
        QVERIFY(waitFor([&] { return !aborted.isEmpty() && others.size() == 1; }));
        QCOMPARE(aborted.size(), 1);
        QVERIFY(aborted[0].aborted);
        QVERIFY(!aborted[0].ok());
        QVERIFY(others[0].ok());
        QCOMPARE(h->client().inFlight(), 0);
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "test_http_client.moc"
