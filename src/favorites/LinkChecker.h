#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

struct AppContext;
class HttpClient;
struct HttpResponse;

// Where a run's report and menus go; the frame puts them in the active window and the sidebar.
struct LinkCheckOutput
{
    std::function<void(const QString &html)> writePage; // the report's first text
    std::function<void(const QString &html)> append;    // at the end of the report's body
    std::function<void(const QString &html)> showMenu;  // the sidebar's "menu" element
    std::function<void(const QString &text)> progress;  // the status bar
    std::function<void()> finished;                     // the run is over: flash the window
};

enum class LinkCheckScope { All, Questionable };

// The fields of one favorite as its report entry shows them.
struct LinkReportFields
{
    double bookmark = 0;
    QString keywords, title, address, description, docKeywords, notes;
    QString downloads, lastDownload, dateCreated;
    QString previousCode, currentCode;
    QString finalAddress; // where redirects ended, when elsewhere
    QString error;        // why no answer came
};

// "C" and the status code's first character, or "Local" for a missing file.
QString LinkStatusClass(const QString &code, bool local);
// One report entry; every text of the favorite escaped.
QString LinkReportEntry(const LinkReportFields &fields, const QString &cssClass);
// The sidebar menu while a run goes and after it.
QString LinkCheckRunningMenu();
QString LinkCheckResultMenu();

// Requests the address of every favorite under the scope and records its status code, many at
// a time while the report keeps the store's order; favorites of missing files or no address are
// deleted at the end.
class LinkChecker : public QObject
{
    Q_OBJECT
public:
    LinkChecker(AppContext &ctx, HttpClient &http, QObject *parent = nullptr);
    ~LinkChecker() override;

    // False while a run goes.
    bool start(LinkCheckScope scope, LinkCheckOutput output);
    // Nothing more is requested, requests in flight are dropped; the end steps still run.
    void stop();
    bool isRunning() const { return m_running; }

    int maxPerHost = 8;
    int maxInFlight = 32;
    int timeoutMs = 16000;
    // Stores what the run found so far; called now and then during a run and at its end.
    std::function<void()> saveFavorites;

private:
    struct Entry;
    void pump();
    void send(size_t index, bool get);
    void answered(size_t index, bool get, const HttpResponse &response);
    void settle(size_t index);
    void flush();
    void finish();

    AppContext &m_ctx;
    HttpClient &m_http;
    LinkCheckOutput m_out;
    std::vector<Entry> m_entries;
    QHash<QString, int> m_perHost;
    size_t m_nextToSend = 0;
    size_t m_nextToReport = 0;
    int m_inFlight = 0;
    int m_counted = 0;
    int m_done = 0;
    bool m_running = false;
    bool m_stopped = false;
    QElapsedTimer m_clock;
    QElapsedTimer m_sinceSave;
};
