// Record-store speed: searching, opening, saving and indexed lookups on generated data.
#include "store/DateValue.h"
#include "store/Recordset.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <random>

namespace {

constexpr int kHistoryRows = 100000;
constexpr int kFavoriteRows = 10000;
constexpr int kFolders = 300;
constexpr int kOptions = 1000;

const QStringList kWords = {
    "news",     "python",   "release",  "guide",    "review",    "weather", "football", "recipe",
    "linux",    "kernel",   "market",   "stocks",   "travel",    "hotel",   "camera",   "phone",
    "garden",   "history",  "science",  "space",    "rocket",    "music",   "concert",  "movie",
    "election", "policy",   "health",   "fitness",  "coffee",    "bread",   "database", "server",
    "browser",  "security", "update",   "tutorial", "analysis",  "city",    "council",  "school",
    "learning", "language", "compiler", "design",   "furniture", "energy",  "climate",  "ocean"};
const QStringList kDomains = {"example.com",       "news.example.org", "blog.example.net",
                              "docs.example.io",   "shop.example.com", "wiki.example.org",
                              "forum.example.net", "video.example.com"};

struct Gen
{
    std::mt19937 rng{20240607};
    QString word() { return kWords[int(rng() % kWords.size())]; }
    QString words(int min, int max)
    {
        const int n = min + int(rng() % unsigned(max - min + 1));
        QStringList out;
        for (int i = 0; i < n; ++i)
            out << word();
        return out.join(' ');
    }
    QString title()
    {
        QString t = words(3, 9);
        t[0] = t[0].toUpper();
        return t;
    }
    QString url()
    {
        return QStringLiteral("https://%1/%2/%3-%4.html")
            .arg(kDomains[int(rng() % kDomains.size())], word(), words(2, 4).replace(' ', '-'))
            .arg(rng() % 100000);
    }
    bool chance(int percent) { return int(rng() % 100) < percent; }
};

QString dataDir()
{
    static QTemporaryDir dir(qEnvironmentVariableIsSet("SKIMLINE_HOME")
                                 ? qEnvironmentVariable("SKIMLINE_HOME") + "/bench-XXXXXX"
                                 : QDir::tempPath() + "/skl-bench-XXXXXX");
    return dir.path();
}

Recordset &history()
{
    static Recordset rs = [] {
        Gen g;
        Recordset r = Recordset::Create(HistorySchema());
        const double now = DateValue::now();
        for (int i = 0; i < kHistoryRows; ++i) {
            const QString url = g.url();
            r.AddNew();
            (void)r.SetField("Date", now - (kHistoryRows - i) / 500.0);
            (void)r.SetField("Title", g.title());
            (void)r.SetField("URL", url);
            (void)r.SetField("Domain", url.section('/', 2, 2));
            if (g.chance(60))
                (void)r.SetField("Description", g.words(10, 25) + '.');
            if (g.chance(30))
                (void)r.SetField("DocKeywords", g.words(3, 8).replace(' ', ", "));
            (void)r.SetField("Visits", int(1 + g.rng() % 20));
        }
        r.Update();
        return r;
    }();
    return rs;
}

Recordset &favorites()
{
    static Recordset rs = [] {
        Gen g;
        QStringList folders;
        for (int i = 0; i < kFolders; ++i)
            folders << (i < 20 ? g.word() : folders[i % 20] + '\\' + g.word() + QString::number(i));
        Recordset r =
            Recordset::Create(FavoritesSchema(), QDir(dataDir()).filePath("Favorites.skl"));
        for (int i = 0; i < kFavoriteRows; ++i) {
            r.AddNew();
            (void)r.SetField("Keywords", folders[i % kFolders]);
            (void)r.SetField("Title", g.title());
            (void)r.SetField("URL", g.url());
            if (g.chance(40))
                (void)r.SetField("Description", g.words(8, 20));
            (void)r.SetField("bfFav", 0);
            (void)r.SetField("DateCreated", DateValue::now() - i);
            (void)r.SetField("Accesses", int(g.rng() % 50));
        }
        r.Update();
        (void)r.SetIndexed("Keywords");
        (void)r.SetSort("Keywords, Title");
        return r;
    }();
    return rs;
}

QString historyExpression(const QString &x)
{
    return QStringLiteral("Title LIKE '*%1*' OR URL LIKE '*%1*' OR Description LIKE '*%1*' OR "
                          "DocKeywords LIKE '*%1*'")
        .arg(x);
}

const QStringList kNeedles = {"python", "kernel release", "zzz-not-there", "ocean", "Hotel"};

void BM_HistoryFilter4Like(benchmark::State &state)
{
    Recordset &rs = history();
    size_t i = 0;
    int matched = 0;
    for (auto _ : state) {
        if (!rs.SetFilter(historyExpression(kNeedles[int(i++ % kNeedles.size())])))
            state.SkipWithError("filter refused");
        matched += rs.RecordCount();
    }
    rs.ClearFilter();
    state.counters["matches/search"] = double(matched) / double(i);
}
BENCHMARK(BM_HistoryFilter4Like)->Unit(benchmark::kMillisecond);

void BM_SqliteBaseline4Like(benchmark::State &state)
{
    Recordset &rs = history();
    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db,
                 "CREATE TABLE h(Date REAL, Title TEXT, URL TEXT, Domain TEXT, Description TEXT,"
                 " DocKeywords TEXT, Visits INTEGER); BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt *ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO h VALUES(?,?,?,?,?,?,?)", -1, &ins, nullptr);
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext()) {
        QByteArray text[4];
        sqlite3_bind_double(ins, 1, rs.Field(0).toDouble());
        for (int f = 1; f <= 5; ++f) {
            const QVariant v = rs.Field(f);
            if (!v.isValid()) {
                sqlite3_bind_null(ins, f + 1);
                continue;
            }
            const QByteArray utf8 = v.toString().toUtf8();
            sqlite3_bind_text(ins, f + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        sqlite3_bind_int64(ins, 7, rs.Field(6).toLongLong());
        sqlite3_step(ins);
        sqlite3_reset(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);

    sqlite3_stmt *q = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT rowid FROM h WHERE Title LIKE ?1 OR URL LIKE ?1 OR "
                       "Description LIKE ?1 OR DocKeywords LIKE ?1",
                       -1, &q, nullptr);
    size_t i = 0;
    int matched = 0;
    for (auto _ : state) {
        const QByteArray pattern = ('%' + kNeedles[int(i++ % kNeedles.size())] + '%').toUtf8();
        sqlite3_bind_text(q, 1, pattern.constData(), int(pattern.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(q) == SQLITE_ROW)
            ++matched;
        sqlite3_reset(q);
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
    state.counters["matches/search"] = double(matched) / double(i);
}
BENCHMARK(BM_SqliteBaseline4Like)->Unit(benchmark::kMillisecond);

void BM_OpenHistory100k(benchmark::State &state)
{
    const QString path = QDir(dataDir()).filePath("History8.skl");
    if (!history().Save(path)) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        auto rs = Recordset::Open(path);
        if (!rs || rs->RecordCount() != kHistoryRows)
            state.SkipWithError("open failed");
    }
}
BENCHMARK(BM_OpenHistory100k)->Unit(benchmark::kMillisecond);

void BM_SaveFavorites10k(benchmark::State &state)
{
    Recordset &rs = favorites();
    for (auto _ : state) {
        if (!rs.Save())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveFavorites10k)->Unit(benchmark::kMillisecond);

void BM_FindOptionKey(benchmark::State &state)
{
    Recordset rs = Recordset::Create(OptionsSchema());
    QStringList keys;
    for (int i = 0; i < kOptions; ++i) {
        keys << QStringLiteral("Option%1").arg(i);
        (void)rs.AddNew({"key", "value"}, {keys.back(), QString::number(i)});
    }
    (void)rs.SetIndexed("key");
    QStringList finds;
    for (int i = 0; i < 40; ++i)
        finds << QStringLiteral("key = '%1'").arg(keys[(i * 97) % kOptions].toLower());
    size_t i = 0;
    for (auto _ : state) {
        if (!rs.Find(finds[int(i++ % finds.size())]))
            state.SkipWithError("not found");
    }
}
BENCHMARK(BM_FindOptionKey);

void BM_FilterKeywordsEquals(benchmark::State &state)
{
    Recordset &rs = favorites();
    QStringList filters;
    for (int i = 0; i < 40; ++i) {
        rs.MoveFirst();
        (void)rs.SetAbsolutePosition(1 + (i * 251) % kFavoriteRows);
        filters << QStringLiteral("Keywords = '%1'").arg(rs.Field("Keywords").toString());
    }
    size_t i = 0;
    int matched = 0;
    for (auto _ : state) {
        if (!rs.SetFilter(filters[int(i++ % filters.size())]))
            state.SkipWithError("filter refused");
        matched += rs.RecordCount();
    }
    rs.ClearFilter();
    state.counters["matches/filter"] = double(matched) / double(i);
}
BENCHMARK(BM_FilterKeywordsEquals);

} // namespace

BENCHMARK_MAIN();
