#pragma once

#include <QString>

class DocumentWindow;
class Reader;
struct WindowStyle;

// Browsing modes (giBrowsingMode); 5 is Tabbed Browser mode for one link taken over by the
// context menu.
namespace BrowseMode {
inline constexpr int Skimline = 1;
inline constexpr int Research = 2;
inline constexpr int Tabbed = 4;
inline constexpr int TabbedOnce = 5;
} // namespace BrowseMode

// The document windows by slot: which window gets a download, the state letters, and the
// commands that move the user from window to window.
class WindowPool
{
public:
    explicit WindowPool(Reader &reader);

    DocumentWindow *window(int slot) const;
    QString state(int slot) const;
    void setState(int slot, const QString &letter);
    int order(int slot) const;
    void setOrder(int slot, int order);
    int slotCount() const; // giLastWindow + 1
    DocumentWindow *current() const;

    // A slot for a new download, or -1 when the pool is full (the caller queues it).
    int ChooseWindow(bool bNext, bool bForceNew);
    void ActivateWindow(int iTag);
    // The frame made this window the active one (by any route): the old one is left, this
    // one activated. Nothing happens when it already is the active one.
    void windowActivated(int slot);
    static WindowStyle styleFor(const QString &state, bool keep, bool next, bool current);
    void ShowWindowState(int iTag);
    void UpdateWindowCount();

    // The slot Next Window goes to: the unread window queued first, -1 when there is none.
    int nextUnreadSlot() const;
    void mnuNextDoc_Click();
    void mnuPreviousDoc_Click();
    void mnuNav_PrevWin_Click();
    void mnuKeepInMemory_Click();
    void zKeepInMemory(int iTag, bool bThenNext);
    // 0 Close This Window, 1 Keep This Window, for the window of slot.
    void mnuNav_Win_Click(int index, int slot);
    // The window is closed once the user has left the window that follows it.
    void zMarkForClosing();
    // 0 Close All Read Windows, 1 Close All Windows Except Current, 2 Stop All Downloading,
    // 3 Cancel Queued Downloads.
    void mnuNav_WinManSub_Click(int index);
    void mnuWindow_Click();
    void mnuWindowList_Click(int index);
    void mnuOpenInSameWindow_Click();
    // 0 Skimline, 1 Research, 2 Tabbed Browser, 3 from the settings, 4 cycle.
    void zBrowseMode(int iAction);
    static QString modeLetter(int mode);
    static QString modeTooltip(int mode);

    // Unloads the window of the slot unless it refuses (the last window). True when it went.
    bool unloadWindow(int slot);
    // The window becomes reusable: after a short delay it is put to sleep unless used again.
    void scheduleSleep(int slot);

    bool mbReportAfterLast = false;
    // The slot being activated while the window left behind is deactivated; -1 otherwise.
    int activatingSlot() const { return m_activating; }

private:
    void growTo(int slots);
    int loadInto(int slot, bool bNext);
    void activateByCycle(int from, int step);
    int cancelQueued();

    Reader &m_reader;
    int m_activating = -1;
};
