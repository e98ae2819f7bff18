#pragma once

#include "favorites/FavoritesTree.h"
#include "platform/BrowserControl.h"
#include "platform/Document.h"
#include "store/Recordset.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

struct AppContext;
struct FavoriteFormValues;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

// The favorite editor: the program's form page beside a folder tree. It opens itself (a
// top-level window, deleted on close). mode: 0 a new favorite from the active window (or a
// pending form capture), 1 the records with Selected = 1, 3 a new feed favorite from a feed
// page (its address from the element "skl-atf"). keywords: the folder a new favorite starts in.
class frmFavAdd : public QWidget, protected BrowserControlListener, protected DocumentListener
{
    Q_OBJECT
public:
    struct Hooks
    {
        // The program's drop-down list (it lives in a layer this one cannot include), attached
        // to a field of the page in control: where the page's DOM events go (true for those it
        // took) and the event rules the field needs.
        struct DropDown
        {
            std::function<bool(const DomEvent &)> domEvent;
            QList<EventRule> rules;
        };
        std::function<DropDown(QWidget &window, BrowserControl &control, const QString &fieldId,
                               const QStringList &entries)>
            attachKeywordsDropDown;
        // The editor closed after changing the store (an open organizer rebuilds its tree).
        std::function<void()> closed;
    };

    frmFavAdd(AppContext &ctx, int mode, Hooks hooks = {}, const QString &keywords = {},
              QWidget *parent = nullptr);
    ~frmFavAdd() override;

    // The record in the form; 0 for a new one.
    double bookmark() const { return m_bookmark; }
    // The page has been filled and takes input.
    bool isReady() const { return m_ready; }

    void EditMode();
    void ReadRecordIntoForm();
    // Writes the form into its record, or into a new one; false when nothing could be written.
    bool ReadFormIntoRecord(const FavoriteFormValues &form);
    void ClearForm();
    void SyncTV();
    void NodeClick(QTreeWidgetItem *node);
    // 0 First, 1 Previous, 2 Next, 3 Last record.
    void mnuAct_Click(int index);

Q_SIGNALS:
    void ready();

protected:
    void closeEvent(QCloseEvent *event) override; // Form_QueryUnload
    bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info) override;
    void documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame) override;
    void domEvent(const DomEvent &event) override;

private:
    void pageComplete();
    void fillFromActiveWindow();
    void markReady();
    void command(int number);
    void deleteRecord(const QString &keywords);
    void showFeedFolders(bool feedsOnly);
    // Reads the page's fields, then runs then; ignored while a reading is under way, so that a
    // second click never saves what the first one is about to replace.
    void withForm(std::function<void(const FavoriteFormValues &)> then);
    // The edited records again, on the record last read into the form; false when none is left.
    bool reselectEdited();
    void placeInTree(double bookmark);
    void unhighlight();
    void saveStore();
    Recordset sortedFavorites() const;
    Document &page() { return m_control->document(); }

    AppContext &m_ctx;
    int m_mode;
    Hooks m_hooks;
    std::function<bool(const DomEvent &)> m_keywordsDropDown;
    QString m_keywords;
    std::unique_ptr<BrowserControl> m_control;
    QUrl m_pageUrl;
    QTreeWidget *FavAddTV = nullptr;
    FavoritesTree m_tree;
    QMenu *mnuActions = nullptr;
    // The records being edited (Selected = 1); its own cursor, so an open organizer keeps its.
    Recordset m_rs;
    double m_bookmark = 0;
    double m_current = 0; // the edited record last read into the form
    QString m_headers;
    QString m_extra;
    bool m_editMode = false;
    bool m_loaded = false;
    bool m_ready = false;
    bool m_reading = false;
    bool m_closed = false;
};
