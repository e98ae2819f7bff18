#pragma once

#include "frame/DesktopPrograms.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QString>

#include <memory>

class QAction;
class QDockWidget;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QStatusBar;
class BrowserControl;
class DocumentWindow;
class cPopup;
class cPopupMessage;
class frmBrowser;
class Pane;
class FavoritesMenu;
class Notes;
class PageTools;
class SavedFiles;
class Sidebar;
class TopBar;
struct AppContext;

// The main frame: menu bar, toolbar, top bar, sidebar, status bar and the area holding the
// document windows. Commands act on the active document window.
class MDIForm1 : public QMainWindow
{
    Q_OBJECT
public:
    // Later: the panes' pages wait for writePanes(), so that the first document's navigation
    // starts before their renderers compete with it.
    enum class PaneStart { AtOnce, Later };
    explicit MDIForm1(AppContext &ctx, QWidget *parent = nullptr,
                      PaneStart panes = PaneStart::AtOnce);
    ~MDIForm1() override;

    // Writes the top bar's and the sidebar's pages; once only.
    void writePanes();

    // Menu items by control name; items of a menu array as "mnuTS(2)". Submenus and top menus
    // are found by the name of the item that opens them. nullptr for an unknown name.
    QAction *menuItem(const QString &name) const;
    QMenu *subMenu(const QString &name) const;
    // Control names of every menu item, in menu order (the context-menu holders included).
    QStringList menuItemNames() const { return m_menuOrder; }
    // False for the commands whose work is not in the program yet: they stay disabled.
    bool isCommandAvailable(const QString &name) const;
    // Enables a command that start-up enables conditionally; unavailable commands stay off.
    void setCommandEnabled(const QString &name, bool enabled);

    // Toolbar buttons by key ("Back", "FS", ...).
    QAction *toolButton(const QString &key) const;
    QStringList toolButtonKeys() const;

    // Document windows
    QMdiSubWindow *addDocumentWindow(frmBrowser *form);
    frmBrowser *ActiveForm() const;
    QMdiArea *mdiArea() const { return m_mdiArea; }

    // Status bar panels 1..3
    void SetStatusText(int panel, const QString &text);
    QString StatusText(int panel) const;

    // The two HTML panes; nullptr when the platform makes no browser controls.
    Pane *topBarPane() const { return m_topBarPane.get(); }
    Pane *sidebarPane() const { return m_sidebarPane.get(); }
    // The top bar's behaviour (search box, tabs, cells); nullptr without the pane.
    TopBar *topBar() const { return m_topBar.get(); }
    // Everything the sidebar pane shows and does.
    Sidebar *sidebar() const { return m_sidebar.get(); }
    // The notes pane in the sidebar.
    Notes *notes() const { return m_notes.get(); }
    // The address box with its drop-down lists; nullptr without the top bar pane.
    cPopup *addressBox() const { return m_addressBox.get(); }
    FavoritesMenu *favoritesMenu() const { return m_favoritesMenu; }
    // Refreshes the text-size check marks from the active window's zoom.
    void ZoomFactorButtons() { mnuView_Click(); }

    // Controls
    QDockWidget *cPic = nullptr; // sidebar container
    QWidget *cWB = nullptr;      // sidebar pane
    QDockWidget *aPBTopBar = nullptr;
    QToolBar *tbToolBar = nullptr;
    QWidget *aWBTopBar = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLineEdit *URL = nullptr; // receives addresses handed over by another start of the program

    bool mbFullScreen = false;
    bool mbSidebarVisible = true;
    int mvTextSize = 2;

    // Menu opening
    void mnuFile_Click();
    void mnuEdit_Click();
    void mnuTools_Click();
    void mnuView_Click();
    void mnuFavorites_Click();

    // Commands
    void mnuQuit_Click();
    void mnuFileDelete_Click();
    void mnuSaveAs_Click();
    void mnuPageSetup_Click();
    void mnuPrintPreview_Click();
    void mnuPrint_Click();
    void mnuCut_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void mnuSelectAll_Click();
    void mnuTS_Click(int index);
    void mnuSearch_Click();
    void mnuView_FullScreen_Click();
    void mnuView_Sidebar_Click();
    void mnuView_History_Click();
    void mnuViewSetFocusAB_Click();
    void mnuOpen_Click();
    void mnuOptions_Click();
    void mnuHelpAr_Click(int index);
    // The Selection menu, on the stored word or selection (gsSelectedText of the navigator).
    void mnuPopSelection_Click(int index);
    // The form-field menu: 0 the form-data editor, 1 paste, 3.. a snippet (its data).
    void mnuPopFD_Click(int index);
    // The desktop's other programs: the page in another browser (F8), the page in an HTML
    // editor, a new mail message, the network settings.
    void mnuLoadPageInIE_Click();
    void mnuEditPage_Click();
    void mnuNewMessage_Click();
    void mnuInternetOptions_Click();
    // Rebuilds the form-field menu's snippet entries from FormData.txt's text.
    void FillFormDataMenu(const QString &text);
    void tbToolBar_ButtonClick(const QString &key);
    void URL_Change();

    // Start-up's part of loading the frame: writes "MSW", restores the sidebar's width and
    // visibility from the registry.
    void MDIForm_Load();
    // Shutdown, in this order, when the frame closes.
    void MDIForm_QueryUnload();
    void MDIForm_Unload();
    // Closes every child window and drops it from the pool.
    void UnloadChildren();
    bool isUnloaded() const { return m_unloaded; }
    // Sidebar width in twips, as saved.
    int sidebarWidthTwips() const;
    void setSidebarWidthTwips(int twips);
    void showSidebar(bool show);

    // The About message while it is shown.
    cPopupMessage *popupMessage() const { return m_popup.get(); }
    void releasePopupMessage();

    // The reading workflow exists (ctx.reader): the commands its keys reach in the frame.
    void connectReader();

    // Address of Help menu item 3, 4, 5 or 10 (What's New, New Feature Help, home, blog).
    QString helpPageUrl(int index) const;

Q_SIGNALS:
    void documentWindowActivated(frmBrowser *form);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildPanes();
    bool m_panesWritten = false;
    void buildAddressBox();
    void buildStatusBar();
    void connectCommands();
    void connectSidebar();
    void onSubWindowActivated(QMdiSubWindow *window);
    void loadProgramPage(const QString &relative, bool clearOtherWindow);
    // The control of the window the user reads (the pool's current one).
    BrowserControl *readingControl() const;
    // The popup menus of a document's right click, at a point of the window's control.
    void showDocumentMenu(DocumentWindow &w, const QPoint &pos);
    void showFormFieldMenu(DocumentWindow &w, const QPoint &pos);
    void runClient(const DesktopPrograms::ClientKind &client);
    void showDesktopPrograms();
    bool execOnActive(int command, int prompt);

    AppContext &m_ctx;
    QMdiArea *m_mdiArea = nullptr;
    QLabel *m_panels[3] = {nullptr, nullptr, nullptr};
    QHash<QString, QAction *> m_items;
    QHash<QString, QMenu *> m_menus;
    QStringList m_menuOrder;
    QSet<QString> m_unavailable;
    QHash<QString, QAction *> m_buttons;
    QStringList m_buttonOrder;
    std::unique_ptr<cPopupMessage> m_popup;
    std::unique_ptr<Pane> m_topBarPane;
    std::unique_ptr<Pane> m_sidebarPane;
    std::unique_ptr<TopBar> m_topBar;
    std::unique_ptr<Sidebar> m_sidebar;
    std::unique_ptr<Notes> m_notes;
    std::unique_ptr<PageTools> m_pageTools;
    std::unique_ptr<SavedFiles> m_savedFiles;
    FavoritesMenu *m_favoritesMenu = nullptr; // a child of the frame
    std::unique_ptr<cPopup> m_addressBox;
    Qt::WindowStates m_stateBeforeFullScreen = Qt::WindowNoState;
    bool m_unloaded = false;
    int m_sidebarWidth = 240; // pixels; what the sidebar keeps while hidden
};
