#include "favorites/SearchRecords.h"

#include "platform/BrowserControl.h"
#include "platform/PageWriter.h"
#include "platform/Ui.h"
#include "reader/AppContext.h"
#include "reader/DocumentWindow.h"
#include "reader/Reader.h"
#include "store/Recordset.h"
#include "store/Stores.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace SearchRecords {

QString pageHtml(Recordset &searches)
{
    const QString title = QStringLiteral("Skimline Search Page");
    QString html = QStringLiteral("<title>") + title +
                   QStringLiteral("</title><body style=font-size:x-small>");
    int count = 0;
    if (searches.State()) {
        Recordset rs = searches.Clone();
        rs.ClearFilter();
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext(), ++count)
            html += QStringLiteral("<a href=skl:s--") + QString::number(rs.Bookmark(), 'f', 0) +
                    QLatin1Char('>') +
                    rs.Field(QStringLiteral("Title")).toString().toHtmlEscaped() +
                    QStringLiteral("</a><br>");
    }
    if (count == 0)
        html += QStringLiteral("<p>No saved searches yet. Favorites &gt; Edit Search Records adds "
                               "them: a title, an address with the search terms in it, and "
                               "those terms.</p>");
    return html;
}

std::optional<Search> run(Recordset &searches, double bookmark, const QString &text)
{
    const QString terms = text.trimmed().replace(QLatin1Char(' '), QLatin1Char('+'));
    if (terms.isEmpty() || !searches.State())
        return std::nullopt;
    Recordset rs = searches.Clone();
    rs.ClearFilter();
    if (!rs.SetBookmark(bookmark))
        return std::nullopt;
    const QString old = rs.Field(QStringLiteral("SearchTerms")).toString();
    Search s;
    s.url = rs.Field(QStringLiteral("URL")).toString();
    s.postData = rs.Field(QStringLiteral("PostData")).toByteArray();
    const QString scheme = QUrl(s.url).scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    if (!old.isEmpty() && (s.url.contains(old) || s.postData.contains(old.toLatin1()))) {
        s.url.replace(old, terms);
        s.postData.replace(old.toLatin1(), terms.toLatin1());
    } else {
        s.url += terms;
    }
    (void)rs.SetField(QStringLiteral("SearchTerms"), terms);
    (void)rs.SetField(QStringLiteral("URL"), s.url);
    (void)rs.SetField(QStringLiteral("PostData"), s.postData);
    (void)rs.SetField(QStringLiteral("Frequency"),
                      rs.Field(QStringLiteral("Frequency")).toInt() + 1);
    rs.Update();
    // Written at once: a run is rare and its terms are the user's.
    (void)rs.Save();
    return s;
}

void connect(AppContext &ctx, Reader &reader, QWidget *dialogParent)
{
    const auto searches = [&ctx]() -> Recordset * {
        return ctx.stores && ctx.stores->rsSearches.State() ? &ctx.stores->rsSearches : nullptr;
    };
    ctx.dialogs.ShowSearchPage = [&reader, searches] {
        DocumentWindow *w = reader.pool.current();
        Recordset *rs = searches();
        if (!w || !w->brwWebBrowser || !rs)
            return;
        w->writeProgramPage(pageHtml(*rs), QStringLiteral("Search.htm"),
                            QStringLiteral("Skimline Search Page"));
    };
    ctx.dialogs.EditSearchRecords = [searches, dialogParent] {
        if (Recordset *rs = searches()) {
            SearchRecordsDialog dialog(*rs, dialogParent);
            (void)dialog.exec();
        }
    };
    (void)reader.nav.commands().registerHandler(
        QStringLiteral("s--"),
        [&ctx, &reader, searches](const QString &arg, const CommandContext &c) {
            Recordset *rs = searches();
            DocumentWindow *w = reader.pool.window(c.slot);
            bool ok = false;
            const double bookmark = arg.trimmed().toDouble(&ok);
            if (!rs || !w || !ok || !ctx.ui)
                return;
            Recordset record = rs->Clone();
            record.ClearFilter();
            if (!record.SetBookmark(bookmark))
                return;
            const std::optional<QString> text = ctx.ui->inputBox(
                QStringLiteral("Search for:"), record.Field(QStringLiteral("Title")).toString(),
                record.Field(QStringLiteral("SearchTerms"))
                    .toString()
                    .replace(QLatin1Char('+'), QLatin1Char(' ')));
            if (!text)
                return;
            if (const std::optional<Search> s = run(*rs, bookmark, *text))
                reader.nav.routeLikeClick(*w, s->url, c.modifiers, NavigationSource::ProgramPage,
                                          s->postData);
            else
                reader.host.setStatusText(3, QStringLiteral("This search has no web address "
                                                            "to run: Edit Search Records."));
        });
}

} // namespace SearchRecords

namespace {
enum Column { Title, Terms, Url, PostData, Frequency, ColumnCount };
}

SearchRecordsDialog::SearchRecordsDialog(Recordset &searches, QWidget *parent)
    : QDialog(parent), m_searches(searches), m_table(new QTableWidget(0, ColumnCount, this))
{
    setWindowTitle(QStringLiteral("Edit Search Records"));
    resize(820, 420);
    m_table->setHorizontalHeaderLabels({QStringLiteral("Title"), QStringLiteral("Search terms"),
                                        QStringLiteral("Address"), QStringLiteral("Post data"),
                                        QStringLiteral("Runs")});
    m_table->horizontalHeader()->setSectionResizeMode(Url, QHeaderView::Stretch);
    m_table->setToolTip(QStringLiteral(
        "A search runs its address (and post data) with the new terms where the search terms "
        "stand; an address without them gets the terms at its end."));
    if (m_searches.State()) {
        Recordset rs = m_searches.Clone();
        rs.ClearFilter();
        for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
            addRow(rs.Field(QStringLiteral("Title")).toString(),
                   rs.Field(QStringLiteral("SearchTerms")).toString(),
                   rs.Field(QStringLiteral("URL")).toString(),
                   QString::fromLatin1(rs.Field(QStringLiteral("PostData")).toByteArray()),
                   rs.Field(QStringLiteral("Frequency")).toInt());
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton *add = buttons->addButton(QStringLiteral("&New"), QDialogButtonBox::ActionRole);
    QPushButton *remove =
        buttons->addButton(QStringLiteral("&Delete"), QDialogButtonBox::ActionRole);
    connect(add, &QPushButton::clicked, this, [this] {
        addRow(QString(), QString(), QStringLiteral("https://"), QString(), 0);
        m_table->editItem(m_table->item(m_table->rowCount() - 1, Title));
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_table->currentRow() >= 0)
            m_table->removeRow(m_table->currentRow());
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (apply())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
}

void SearchRecordsDialog::addRow(const QString &title, const QString &terms, const QString &url,
                                 const QString &postData, int frequency)
{
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, Title, new QTableWidgetItem(title));
    m_table->setItem(row, Terms, new QTableWidgetItem(terms));
    m_table->setItem(row, Url, new QTableWidgetItem(url));
    m_table->setItem(row, PostData, new QTableWidgetItem(postData));
    auto *runs = new QTableWidgetItem(QString::number(frequency));
    runs->setFlags(runs->flags() & ~Qt::ItemIsEditable);
    m_table->setItem(row, Frequency, runs);
}

bool SearchRecordsDialog::apply()
{
    if (!m_searches.State())
        return false;
    const auto text = [this](int row, int column) {
        QTableWidgetItem *item = m_table->item(row, column);
        return item ? item->text().trimmed() : QString();
    };
    m_searches.ClearFilter();
    (void)DeleteMatching(m_searches, QString());
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QString url = text(row, Url);
        if (text(row, Title).isEmpty() && (url.isEmpty() || url == QLatin1String("https://")))
            continue;
        (void)m_searches.AddNew({QStringLiteral("Title"), QStringLiteral("SearchTerms"),
                                 QStringLiteral("URL"), QStringLiteral("PostData"),
                                 QStringLiteral("Frequency")},
                                {text(row, Title), text(row, Terms), url,
                                 text(row, PostData).toLatin1(), text(row, Frequency).toInt()});
    }
    return m_searches.Save();
}
