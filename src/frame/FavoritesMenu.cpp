#include "frame/FavoritesMenu.h"

#include "frame/CommandLine.h"
#include "frame/MDIForm1.h"
#include "frame/Sidebar.h"
#include "frame/SidebarHtml.h"
#include "frame/TopBar.h"
#include "reader/AppContext.h"
#include "reader/Reader.h"
#include "reader/frmBrowser.h"
#include "store/DateValue.h"
#include "store/Stores.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QUrl>

FavoritesMenu::FavoritesMenu(AppContext &ctx, MDIForm1 &frame)
    : QObject(&frame), m_ctx(ctx), m_frame(frame)
{
    if (TopBar *bar = frame.topBar())
        bar->favoriteCommand = [this](int index) {
            if (index == 1) {
                deleteThisFavorite();
            } else if (frmBrowser *f = m_frame.ActiveForm()) {
                editFavorite(f->mdFavBookmark);
            }
        };
    if (QMenu *menu = groupsMenu())
        connect(menu, &QMenu::aboutToShow, this, &FavoritesMenu::rebuildGroupsMenu);
    if (QAction *a = frame.menuItem(QStringLiteral("mnuFav_Group(0)")))
        connect(a, &QAction::triggered, this, &FavoritesMenu::saveOpenWindowsAsGroup);
    if (QAction *a = frame.menuItem(QStringLiteral("mnuFav_Edit(1)")))
        connect(a, &QAction::triggered, this, &FavoritesMenu::deleteThisFavorite);
    if (QAction *a = frame.menuItem(QStringLiteral("mnuFav_Sub(1)")))
        connect(a, &QAction::triggered, this, [this] { openEditor(0); });
    if (QAction *a = frame.menuItem(QStringLiteral("mnuFav_Sub(2)")))
        connect(a, &QAction::triggered, this, [this] {
            m_ctx.formCapture.armed = true;
            m_frame.SetStatusText(3, QStringLiteral("Capture set."));
        });
    if (QAction *a = frame.menuItem(QStringLiteral("mnuFav_Edit(0)")))
        connect(a, &QAction::triggered, this, [this] {
            if (frmBrowser *f = m_frame.ActiveForm())
                editFavorite(f->mdFavBookmark);
        });
    if (QAction *a = frame.menuItem(QStringLiteral("mnuFileImport")))
        connect(a, &QAction::triggered, this, [this] {
            if (m_ctx.dialogs.ImportBookmarks)
                m_ctx.dialogs.ImportBookmarks();
        });
    for (const auto &[name, dialog] :
         {std::pair{"mnuFav_DisplaySearchPage", &AppContext::Dialogs::ShowSearchPage},
          std::pair{"mnuFav_EditSearchRecords", &AppContext::Dialogs::EditSearchRecords}})
        if (QAction *a = frame.menuItem(QLatin1String(name)))
            connect(a, &QAction::triggered, this, [this, dialog = dialog] {
                if (const auto &show = m_ctx.dialogs.*dialog)
                    show();
            });
    for (int i : {0, 3})
        if (QAction *a = frame.menuItem(QStringLiteral("mnuFav_Sub(%1)").arg(i)))
            connect(a, &QAction::triggered, this, [this, i] {
                if (m_ctx.dialogs.ShowFavorites)
                    m_ctx.dialogs.ShowFavorites(i == 0 ? 0 : 1);
            });
}

void FavoritesMenu::openEditor(int mode, const QString &keywords)
{
    if (m_ctx.dialogs.ShowFavoriteEditor)
        m_ctx.dialogs.ShowFavoriteEditor(mode, keywords);
}

void FavoritesMenu::editFavorite(double bookmark)
{
    if (bookmark == 0 || !m_ctx.stores || !m_ctx.stores->rsFavorites.State())
        return;
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    if (!rs.SetBookmark(bookmark))
        return;
    (void)rs.SetField(QStringLiteral("Selected"), 1);
    rs.Close();
    openEditor(1);
}

void FavoritesMenu::registerCommandLinks(Reader &reader)
{
    // "Set Capture": the next form a document window sends becomes a new favorite.
    reader.nav.hooks.formCapturePending = [this] { return m_ctx.formCapture.armed; };
    reader.nav.hooks.captureForm = [this](DocumentWindow &w, const BeforeNavigateInfo &info) {
        CaptureFormSubmission(m_ctx, info.url.toString(), info.postData, info.headers, w.msURL);
        openEditor(0);
    };
    CommandLinks &links = reader.nav.commands();
    (void)links.registerHandler(QStringLiteral("ebm"),
                                [this](const QString &arg, const CommandContext &) {
                                    editFavorite(arg.trimmed().toDouble());
                                });
    (void)links.registerHandler(QStringLiteral("atf"),
                                [this](const QString &, const CommandContext &) { openEditor(3); });
    (void)links.registerHandler(
        QStringLiteral("lcp"), [this](const QString &, const CommandContext &) {
            m_frame.SetStatusText(3, QStringLiteral("Loading Scheduled Web Pages."));
            if (m_ctx.favoriteCommands.DownloadList)
                m_ctx.favoriteCommands.DownloadList(0);
        });
    (void)links.registerHandler(QStringLiteral("lwg"),
                                [this](const QString &folder, const CommandContext &) {
                                    (void)openUrlFilesInFolder(folder);
                                });
    (void)links.registerHandler(
        QStringLiteral("dbm"), [this](const QString &arg, const CommandContext &c) {
            bool ok = false;
            const double bookmark = arg.trimmed().toDouble(&ok);
            if (!ok || !m_ctx.stores || !m_ctx.stores->rsFavorites.State())
                return;
            if (TrashFavorites(*m_ctx.stores, {bookmark}) == 0)
                return;
            if (DocumentWindow *w = m_ctx.reader->pool.window(c.slot); w && w->brwWebBrowser) {
                Document &doc = w->brwWebBrowser->document();
                doc.setOuterHTML(arg.trimmed() + QLatin1Char('D'), QString());
                // The link checker's report names its entries the other way round.
                doc.setOuterHTML(QLatin1Char('D') + arg.trimmed(), QString());
            }
        });
}

FavoritesMenu::~FavoritesMenu() = default;

QMenu *FavoritesMenu::groupsMenu() const
{
    return m_frame.subMenu(QStringLiteral("mnuFav_Groups_"));
}

void FavoritesMenu::saveOpenWindowsAsGroup()
{
    if (!m_ctx.dialogs.AskGroupName)
        return;
    QPointer<FavoritesMenu> self(this);
    m_ctx.dialogs.AskGroupName([self](const QString &name) {
        if (!self || name.isEmpty() || self->saveGroup(name) == 0)
            return;
        Sidebar *sb = self->m_frame.sidebar();
        if (sb && sb->mhchElem == QLatin1String("m8"))
            sb->listGroups();
    });
}

int FavoritesMenu::saveGroup(const QString &name)
{
    if (!m_ctx.stores || !m_ctx.stores->rsFavorites.State() || !m_ctx.reader)
        return 0;
    const QString keywords =
        SidebarHtml::kGroupPrefix + QString(name).replace(QLatin1Char('\\'), QLatin1Char('-'));
    Recordset rs = m_ctx.stores->rsFavorites.Clone();
    const double now = DateValue::now();
    WindowPool &pool = m_ctx.reader->pool;
    int added = 0;
    for (int slot = 0; slot < pool.slotCount(); ++slot) {
        DocumentWindow *w = pool.window(slot);
        if (!w || w->msURL.isEmpty())
            continue;
        const DocumentSnapshot snap =
            w->brwWebBrowser ? w->brwWebBrowser->document().snapshot() : DocumentSnapshot();
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("Keywords"), keywords);
        (void)rs.SetField(QStringLiteral("Title"), w->strDocumentTitle);
        (void)rs.SetField(QStringLiteral("URL"), w->msURL);
        (void)rs.SetField(QStringLiteral("DocKeywords"), snap.metaKeywords);
        (void)rs.SetField(QStringLiteral("Description"), snap.metaDescription);
        (void)rs.SetField(QStringLiteral("DateCreated"), now);
        (void)rs.SetField(QStringLiteral("DateAccessed"), now);
        rs.Update();
        ++added;
    }
    rs.Close();
    if (added > 0)
        (void)SaveFavorites(*m_ctx.stores);
    return added;
}

void FavoritesMenu::rebuildGroupsMenu()
{
    QMenu *menu = groupsMenu();
    if (!menu)
        return;
    const QList<QAction *> items = menu->actions();
    // Save, List and the separator stay; the names after them are made again.
    for (qsizetype i = 3; i < items.size(); ++i) {
        menu->removeAction(items[i]);
        items[i]->deleteLater();
    }
    QStringList keywords;
    if (m_ctx.stores && m_ctx.stores->rsFavorites.State()) {
        Recordset rs = m_ctx.stores->rsFavorites.Clone();
        if (rs.SetFilter(QStringLiteral("keywords LIKE '!skl\\Groups\\*'")) &&
            rs.SetSort(QStringLiteral("Keywords")))
            for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
                keywords << rs.Field(QStringLiteral("Keywords")).toString();
    }
    const QStringList names = SidebarHtml::groupNames(keywords);
    if (items.size() > 2)
        items[2]->setVisible(!names.isEmpty());
    for (const QString &name : names) {
        // The caption is the name as it stands: no "&" may become a mnemonic.
        QAction *a = menu->addAction(QString(name).replace(QLatin1Char('&'), QStringLiteral("&&")));
        connect(a, &QAction::triggered, this, [this, name] {
            if (Sidebar *sb = m_frame.sidebar())
                sb->openGroup(name);
        });
    }
}

void FavoritesMenu::deleteThisFavorite()
{
    frmBrowser *f = m_frame.ActiveForm();
    if (!f || f->mdFavBookmark == 0 || !m_ctx.stores || !m_ctx.stores->rsFavorites.State())
        return;
    if (TrashFavorites(*m_ctx.stores, {f->mdFavBookmark}) > 0)
        m_frame.SetStatusText(3, QStringLiteral("This Favorite deleted."));
    f->mdFavBookmark = 0;
    m_frame.setCommandEnabled(QStringLiteral("mnuFav_Edit(0)"), false);
    m_frame.setCommandEnabled(QStringLiteral("mnuFav_Edit(1)"), false);
    if (TopBar *bar = m_frame.topBar())
        bar->zTopBar();
}

QStringList UrlFilesInFolder(const QString &folder)
{
    QString path = QString(folder).replace(QStringLiteral("%20"), QStringLiteral(" "));
    if (path.startsWith(QLatin1String("file://"), Qt::CaseInsensitive))
        path = QUrl(path).toLocalFile();
    QStringList urls;
    const QDir dir(path);
    for (const QString &file :
         dir.entryList({QStringLiteral("*.url")}, QDir::Files, QDir::Name | QDir::IgnoreCase))
        if (const auto url = ReadInternetShortcut(dir.filePath(file)))
            urls << *url;
    return urls;
}

int FavoritesMenu::openUrlFilesInFolder(const QString &folder)
{
    if (!m_ctx.reader)
        return 0;
    const QStringList urls = UrlFilesInFolder(folder);
    for (const QString &url : urls)
        (void)m_ctx.reader->queue.LoadDocument(url, LoadWhere::Background);
    return int(urls.size());
}
