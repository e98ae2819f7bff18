// Source view speed: a large page's source turned into its coloured text, as the view command
// does before anything is shown.
#include "frame/SourceView.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

// About 1 MB of a page as sites write them: nested tables of links and text with entities, a
// few inline scripts and style blocks, a form, Windows line ends.
QString page()
{
    QString html = QStringLiteral(
        "<!DOCTYPE html>\r\n<HTML>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
        "<title>News &amp; Views</title>\r\n<style type=\"text/css\">\r\n"
        "body > div { margin: 0 } a:hover { color: #f00 }\r\n</style>\r\n</head>\r\n<body>\r\n");
    for (int i = 0; html.size() < 1000000; ++i) {
        html += QStringLiteral("<table class=\"list\" width=\"100%\" cellpadding=2>\r\n");
        for (int row = 0; row < 8; ++row)
            html += QStringLiteral("<tr><td valign=top><a href=\"/story/%1/%2.html?ref=home&amp;"
                                   "p=%2\" title=\"Story %2\">Story %2 &mdash; caf&eacute; "
                                   "prices &lt; last year</a><br>\r\n<span class=sub>by A. "
                                   "Writer, %2 comments</span></td></tr>\r\n")
                        .arg(i)
                        .arg(row);
        html += QStringLiteral("</table>\r\n<p>Paragraph text with <b>bold</b>, <i>italic</i> "
                               "and a plain sentence or two that runs on for a while.</p>\r\n");
        if (i % 20 == 0)
            html += QStringLiteral(
                "<script type=\"text/javascript\">\r\nfor (var k = 0; k < n && k > -1; k++) {"
                " if (a[k] <b) document.write('<img src=\"x' + k + '.gif\">'); }\r\n"
                "</SCRIPT>\r\n");
        if (i % 50 == 0)
            html += QStringLiteral("<form action=\"/search\" method=get><input name=q size=20>"
                                   "<input type=submit value=\"Go\"></form>\r\n"
                                   "<iframe src=\"/ad.html\" width=468 height=60></iframe>\r\n");
    }
    return html + QStringLiteral("</body>\r\n</html>\r\n");
}

void BM_SourceView1MB(benchmark::State &state)
{
    const QString source = page();
    qsizetype reports = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            SourceView::convert(source, [&](qsizetype, qsizetype) { ++reports; }));
    benchmark::DoNotOptimize(reports);
}
BENCHMARK(BM_SourceView1MB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
