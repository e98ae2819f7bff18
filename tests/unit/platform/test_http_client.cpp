#include "HttpFixture.h"

#include "platform/HttpClient.h"

#include <QtTest>

// The real client against the local server: the checks the fake client's test makes, and the
// limits only a real transfer has (timeout, body cap).
class TestHttpClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void answersLimitsAndAbort()
    {
        HttpFixture server;
        server.addPage(QStringLiteral("/feed.xml"), "<rss/>", "text/xml");
        server.addSlow(QStringLiteral("/slow.xml"), "<rss/>", 5000);
        server.addPage(QStringLiteral("/big.xml"), QByteArray(64 * 1024, 'x'), "text/xml");
        QtHttpClient http;
        QList<HttpResponse> answers;
        const auto collect = [&](const HttpResponse &r) { answers.append(r); };
        const auto get = [&](const QString &path) {
            HttpRequest r;
            r.url = server.url(path);
            return r;
        };
        const auto answered = [&](int n) {
            return QTest::qWaitFor([&] { return answers.size() >= n; }, 30000);
        };

        http.request(get(QStringLiteral("/feed.xml")), collect);
        QVERIFY2(answers.isEmpty(), "never inside the call");
        QCOMPARE(http.inFlight(), 1);
        QVERIFY(answered(1));
        QVERIFY(answers[0].ok());
        QCOMPARE(answers[0].body, QByteArray("<rss/>"));

        HttpRequest head = get(QStringLiteral("/feed.xml"));
        head.method = HttpMethod::Head;
        http.request(head, collect);
        QVERIFY(answered(2));
        QVERIFY(answers[1].ok());
        QVERIFY(answers[1].body.isEmpty());
        HttpRequest refused;
        refused.url = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(HttpFixture::refusedPort()));
        http.request(refused, collect);
        QVERIFY(answered(3));
        QCOMPARE(answers[2].statusCode, 0);
        QVERIFY(answers[2].networkError != 0);

        HttpRequest slow = get(QStringLiteral("/slow.xml"));
        slow.timeoutMs = 200;
        http.request(slow, collect);
        QVERIFY(answered(4));
        QVERIFY(answers[3].timedOut);
        QVERIFY(!answers[3].ok());

        HttpRequest big = get(QStringLiteral("/big.xml"));
        big.maxBodyBytes = 1024;
        http.request(big, collect);
        QVERIFY(answered(5));
        QVERIFY(answers[4].tooLarge);
        QVERIFY(!answers[4].ok());
        QVERIFY(answers[4].body.size() <= 1024);

        // An aborted request answers once, as aborted, and never again.
        const quint64 id = http.request(get(QStringLiteral("/slow.xml")), collect);
        http.abort(id);
        QVERIFY(answered(6));
        QVERIFY(answers[5].aborted);
        http.abort(id);
        QCoreApplication::processEvents();
        QCOMPARE(answers.size(), 6);
        QCOMPARE(http.inFlight(), 0);
    }
};

QTEST_MAIN(TestHttpClient)
#include "test_http_client.moc"
