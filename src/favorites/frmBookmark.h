#pragma once

#include "favorites/FavoritesTree.h"
#include "platform/BrowserControl.h"
#include "platform/Document.h"
#include "store/Recordset.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
struct AppContext;

// The favorites window: the tree of every favorite beside a page with the command buttons, the
// instruction line "dm" and the filter box. Download Mode loads what is clicked; Organize Mode
// selects it (the selection is Selected = 1 in the store) for Copy, Move, Edit and Delete.
// Every change goes straight into the favorites store, which is written within a second.
class frmBookmark : public QWidget, private BrowserControlListener, private DocumentListener
{
    Q_OBJECT
public:
    enum State { DownloadMode = 0, OrganizeMode = 1, WaitingForMove = 3, WaitingForCopy = 4 };

    struct Hooks
    {
        // The favorite editor: 0 a new favorite (keywords: its folder), 1 the selection. Unset:
        // the commands that need it are greyed.
        std::function<void(int mode, const QString &keywords)> openEditor;
        // A folder joined the quick-folder list (the sidebar shows it again when it is open).
        std::function<void()> quickFoldersChanged;
    };

    frmBookmark(AppContext &ctx, State mode, Hooks hooks, QWidget *parent = nullptr);
    ~frmBookmark() override;

    State state() const { return m_state; }
    FavoritesTree &tree() { return m_tree; }
    QTreeWidget *treeView() const { return m_view; }
    QAction *actionItem(int number) const; // mnuActSub
    QAction *viewItem(int view) const;     // mnuActShow
    QAction *popupItem(int index) const;   // mnuPopNode
    // The page has loaded and the mode is set.
    bool isReady() const { return m_ready; }

    // The Actions commands 0..11 (the buttons "cb0".."cb10" run the same numbers).
    void runCommand(int number);
    void showView(int view);
    // Clicks on nodes: plain, with Ctrl (a folder and everything below), with Shift (a run).
    void NodeClick(QTreeWidgetItem *node);
    void ctrlClickFolder(QTreeWidgetItem *node);
    void shiftClickLink(QTreeWidgetItem *node);
    // The node popup's item on a node.
    void popupCommand(int index, QTreeWidgetItem *node);
    // A link dragged onto a folder in Organize Mode: the selection when the link is part of
    // it, else the link alone, moved as Move moves. False when nothing moved.
    bool dropLink(QTreeWidgetItem *link, QTreeWidgetItem *folder);
    // A label edit ended with this text.
    void AfterLabelEdit(QTreeWidgetItem *node, const QString &text);
    void ApplyTextFilter(const QString &text);
    // The tree again from the store (after the editor changed it).
    void rebuild();

    void EnableOrganizeCommands(bool enable);
    void CancelSelection(int mark);

Q_SIGNALS:
    void ready();
    // The instruction line changed (tests read it without the page).
    void instruction(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void documentComplete(BrowserControl &, const QUrl &url, bool isTopFrame) override;
    bool beforeNavigate(BrowserControl &, const BeforeNavigateInfo &info) override;
    void domEvent(const DomEvent &event) override;

    void zOrganizeModeSelect();
    void zOrganizeModeDownload();
    void setInstruction(const QString &text);
    void setButton(int number, bool enabled);
    void markLink(QTreeWidgetItem *node, bool organize);
    void load(double bookmark);
    void selectFolderRecords(const QString &path);
    void deleteSelection();
    void undoLastDelete();
    void Organize_MoveCopy(QTreeWidgetItem *destination);
    void Organize_CreateNewFolder(QTreeWidgetItem *node);
    void ChangeSelectedRecords(const QString &field, const QVariant &value);
    double CopySelectedRecord(const QString &destination);
    void removeLinkNode(QTreeWidgetItem *node);
    void renameFolder(QTreeWidgetItem *node, const QString &oldText);
    void scheduleSave();
    // The drag gesture on the tree's viewport; true when the event was used.
    bool dragEvent(QEvent *event);
    void save();
    bool hasSelection();
    void showPopup(QTreeWidgetItem *node, const QPoint &globalPos);

    AppContext &m_ctx;
    Hooks m_hooks;
    Recordset m_rs; // a cursor of the favorites store of its own: its filter is this window's
    QTreeWidget *m_view = nullptr;
    FavoritesTree m_tree;
    std::unique_ptr<BrowserControl> m_page;
    QMenu *m_popup = nullptr;
    QList<QAction *> m_actions, m_views, m_popupItems;
    State m_state;
    State m_openMode;
    bool m_ready = false;
    bool m_newFolderPending = false;
    QTreeWidgetItem *m_editing = nullptr;
    QString m_dragKey; // the link pressed on, while it may become a drag
    QPoint m_dragStart;
    QString m_editOldText;
    QList<double> m_lastDelete;
    QString m_lastFilter;
    QString m_lastFilterText;
    QTimer m_saveTimer;
};
