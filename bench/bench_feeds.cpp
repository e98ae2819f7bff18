// Feed page speed: a 10 MB RSS feed of 20,000 items turned into the viewer's page.
#include "favorites/FeedPage.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

QByteArray feed10MB()
{
    QByteArray xml = "<?xml version='1.0' encoding='UTF-8'?>\n<rss version='2.0'><channel>\n"
                     "<title>Big feed</title><link>https://big.test/</link>"
                     "<description>Twenty thousand items</description>\n";
    const QByteArray body(320, 'x');
    for (int i = 0; i < 20000; ++i) {
        xml += "<item>\n  <title>Item " + QByteArray::number(i) +
               " &amp; more</title>\n  <link>/items/" + QByteArray::number(i) +
               ".htm</link>\n  <description><![CDATA[<p>A <b>story</b> " + body +
               "</p>]]></description>\n  <pubDate>Mon, 01 Jan 2024 00:00:00 GMT</pubDate>\n"
               "</item>\n";
    }
    return xml + "</channel></rss>\n";
}

void BM_FeedPage10MB(benchmark::State &state)
{
    const QByteArray xml = feed10MB();
    qsizetype size = 0;
    for (auto _ : state) {
        const FeedPage page = BuildFeedPage(xml, QStringLiteral("https://big.test/feed.rss"), 0);
        if (page.format != FeedFormat::Rss) {
            state.SkipWithError("the feed was not read");
            return;
        }
        size = page.html.size();
        benchmark::DoNotOptimize(page.html.constData());
    }
    state.SetBytesProcessed(state.iterations() * xml.size());
    state.counters["input_MB"] = double(xml.size()) / 1e6;
    state.counters["page_chars"] = double(size);
}
BENCHMARK(BM_FeedPage10MB)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
