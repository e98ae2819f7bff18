#include "ReaderRig.h"

#include <QTest>

// The session report's page and the navigation error log.
class TestReaderReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messageOfAnUnknownCodeAndElapsedTime()
    {
        QVERIFY(SessionReport::NavErrorMessage(418).startsWith("Description is unavailable."));
        QCOMPARE(SessionReport::formatElapsed(3723), QStringLiteral("1:02:03"));
        QCOMPARE(SessionReport::formatElapsed(59), QStringLiteral("0:00:59"));
        QCOMPARE(SessionReport::formatElapsed(36000), QStringLiteral("10:00:00"));
    }

    void errorLineIsEscaped()
    {
        const QString line = SessionReport::NavErrorLine("http://x.test/?a=<b>&c=\"d\"", 404);
        QVERIFY(line.startsWith("<a href =\"http://x.test/?a=&lt;b&gt;&amp;c=&quot;d&quot;\">"));
        QVERIFY(line.contains("</a> Status Code = 404<br> Error Description: File not found."));
    }

    // The sections with their documents; page text escaped; the report's own window as text.
    void reportSections()
    {
        ReaderRig rig;
        rig.ctx.gdStartTime = QDateTime(QDate(2026, 3, 1), QTime(9, 0, 0));
        rig.platform.web.servePage(ReaderRig::page(1), "<title>&lt;script&gt;alert(1)</title>");
        rig.platform.web.serve(ReaderRig::page(2), FakeResponse::error(404, "gone"));
        rig.platform.web.serve(ReaderRig::page(3),
                               FakeResponse::networkError(NavErrorCode::CannotConnect));
        rig.platform.web.servePage("file:///home/u/notes.htm", "<title>Notes</title>");
        rig.reader.queue.LoadDocument(ReaderRig::page(1));
        rig.reader.queue.LoadDocument(ReaderRig::page(2));
        rig.reader.queue.LoadDocument(ReaderRig::page(3));
        rig.reader.queue.LoadDocument("file:///home/u/notes.htm");
        rig.settle();
        rig.reader.pool.ActivateWindow(4);
        rig.reader.pool.ActivateWindow(0);
        rig.reader.pool.ActivateWindow(1);                 // 4 is "f" now
        rig.reader.queue.LoadDocument(ReaderRig::page(7)); // reuses window 4: notes is history
        rig.settle();
        rig.reader.log.add(
            {{"Order", 20001}, {"URL", ReaderRig::page(5)}, {"bRead", 0}, {"bLoaded", 0}});
        rig.reader.log.add(
            {{"Order", 20002}, {"URL", ReaderRig::page(6)}, {"bRead", 2}, {"bLoaded", 0}});
        QCOMPARE(rig.reader.report.gcolNavErrors.size(), 2);

        const QString html = rig.reader.report.reportHtml(
            *rig.window(3), QDateTime(QDate(2026, 3, 1), QTime(10, 2, 3)));
        QVERIFY(html.startsWith("<head><title>Skimline Report for this Session</title>"));
        QVERIFY(html.contains("Total Documents: 7<br>Total Time: 1:02:03"));
        const auto section = [&html](const QString &head, const QString &next) {
            const int a = html.indexOf(head);
            const int b = html.indexOf(next, a);
            return a < 0 || b < 0 ? QString() : html.mid(a, b - a);
        };
        const QString history = section("<h3>History</h3>", "<h3>Loaded Documents</h3>");
        QVERIFY2(history.contains("<a href=\"skl:locfile:///home/u/notes.htm\">Notes</a>"),
                 qPrintable(history));
        const QString loaded = section("<h3>Loaded Documents</h3>", "<h3>Queued");
        QVERIFY2(loaded.contains("Skimline Report for this Session<br>"), qPrintable(loaded));
        QVERIFY2(!loaded.contains("skl:ldf3>"), qPrintable(loaded));
        QVERIFY(loaded.contains("<a href=skl:ldf1>&lt;script&gt;alert(1)</a><br>"));
        QVERIFY(loaded.contains("<a href=skl:ldf2>"));
        QVERIFY(!html.contains("<script>"));
        const QString queued = section("<h3>Queued Documents", "<h3>Canceled");
        QVERIFY(queued.contains(ReaderRig::page(5)));
        QVERIFY(!queued.contains(ReaderRig::page(6)));
        const QString canceled = section("<h3>Canceled Downloads</h3>", "<h3>Navigational");
        QVERIFY(canceled.contains(">" + ReaderRig::page(6) + "</a><br>"));
        const QString errors = section("<h3>Navigational Errors</h3>", "<p>Select <i>Back</i>");
        QVERIFY(errors.contains(ReaderRig::page(2) +
                                "</a> Status Code = 404<br> Error Description: File not found."));
        QVERIFY(errors.contains("Cannot connect to the Internet server.<p>"));
        QVERIFY(html.endsWith("<p>Select <i>Back</i> to return to previous document."));
    }

    void reportCommand()
    {
        ReaderRig rig;
        rig.reader.queue.LoadDocument(ReaderRig::page(1), LoadWhere::Here);
        rig.settle();
        rig.reader.report.mnuReport_Click();
        rig.settle();
        QCOMPARE(rig.records(), QStringList{ReaderRig::page(1) + ":1:0"});
        QCOMPARE(rig.window(0)->mdCurrentSessionBookmark, 0.0);
        QCOMPARE(rig.host.address, SessionReport::kTitle());
        QCOMPARE(rig.window(0)->strDocumentTitle, SessionReport::kTitle());
        QCOMPARE(rig.host.status.value(3),
                 QStringLiteral("Click the back button on the toolbar to return to the document."));
        const QString body = rig.control(0)->dom().document()->textContent();
        QVERIFY(body.contains("Navigational Errors"));
        // Nothing while a text field has the focus.
        rig.ctx.gbTextEntry = true;
        const QUrl shown = rig.control(0)->locationUrl();
        rig.reader.report.mnuReport_Click();
        rig.settle();
        QCOMPARE(rig.control(0)->locationUrl(), shown);
    }
};

QTEST_MAIN(TestReaderReport)
#include "test_reader_report.moc"
