#include "frame/SourceView.h"

#include <QRegularExpression>
#include <QtTest>

namespace {
QString tag(const QString &text)
{
    return "<font color=blue>&lt;" + text + "&gt;</font>";
}
} // namespace

class TestSourceView : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void convert_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("html");
        QTest::newRow("text, LF kept, CR") << "a é\r\nb\nc"
                                           << "a é<p>\nb<p>\nc";
        QTest::newRow("ampersand, entity shown") << "a & &lt;"
                                                 << "a &amp; &amp;lt;";
        QTest::newRow("ordinary tags")
            << "<B class=x>hi></b>" << tag("B class=x") + "hi&gt;" + tag("/b");
        QTest::newRow("SCRIPT block is raw")
            << "<SCRIPT>if (a<b && c>d)</style><i></Script >x"
            << "<div style=color:red>&lt;SCRIPT&gt;if (a&lt;b &amp;&amp; c&gt;d)&lt;/style&gt;"
               "&lt;i&gt;&lt;/script&gt;</div>x";
        QTest::newRow("table block")
            << "<table\tb=1><td></TABLE>>"
            << "<div style=background-color:#EEFFEE;color:blue>&lt;table\tb=1&gt;" + tag("td") +
                   "<font color=blue>&lt;/table&gt;</font></div>&gt;";
        QTest::newRow("closing tag stops at next tag")
            << "<style>p{}</style x<b>"
            << "<div style=color:maroon>&lt;style&gt;p{}&lt;/style&gt;</div>" + tag("b");
        QTest::newRow("stray and unclosed")
            << "<>< p</head <script src=a<"
            << tag("") + "<font color=blue>&lt; p</font><font color=blue>&lt;/head&gt;</font></div>"
                         "<div style=color:red>&lt;script src=a&lt;";
    }
    void convert()
    {
        QFETCH(QString, source);
        QFETCH(QString, html);
        QCOMPARE(SourceView::convert(source), html);
    }

    void noSourceMarkupSurvives()
    {
        static const QRegularExpression own(
            "<(p|/div|/font|font color=(blue|black)|div style=[a-z:#A-F0-9;-]+)>");
        const QStringList bits = {"<", ">", "</script", "<style", "</table", "<iframe", " ", "\r"};
        for (const QString &a : bits)
            for (const QString &b : bits)
                for (const QString &c : bits) {
                    const QString left = SourceView::convert(a + b + c + "<x").remove(own);
                    QVERIFY2(!left.contains('<') && !left.contains('>'), qPrintable(a + b + c));
                }
    }

    void progressReachesTotal()
    {
        const QString source = QStringLiteral("<p class=x>text &amp; more</p>\r\n").repeated(10000);
        QList<qsizetype> done;
        (void)SourceView::convert(source, [&](qsizetype d, qsizetype total) {
            QCOMPARE(total, source.size());
            done << d;
        });
        QVERIFY(done.size() >= 3);
        QCOMPARE(done.last(), source.size());
        for (qsizetype i = 0, prev = 0; i < done.size(); prev = done[i++])
            QVERIFY2(done[i] - prev >= 64 * 1024, qPrintable(QString::number(done[i])));
    }
};

QTEST_GUILESS_MAIN(TestSourceView)
#include "test_sourceview.moc"
