#pragma once

#include <QString>
#include <Qt>

// The wheel, the right button and the context menu in a document: arithmetic and decisions,
// free of any window.

// The overlap kept on screen by page-wise scrolling, in pixels (eight times the 15 twips per
// pixel of a 96-dpi screen, as the program has always used).
inline constexpr int kPageOverlap = 120;
inline constexpr int kZoomStep = 5;

// The body's zoom as a percentage: "105%" gives 105, a factor such as "1.4" gives 140, an empty
// or unreadable value 100.
int zoomPercent(const QString &bodyZoom);
// The body's zoom after one Ctrl+wheel notch: towards the user (delta < 0) 5 less, away 5 more,
// written as the number followed by "%". Never below 5.
QString zoomAfterWheel(const QString &bodyZoom, int wheelDelta);
// A zoom factor (1.1) as the body's zoom ("110%"), to six significant digits.
QString zoomText(double factor);

// Whole notches in a turn: fine-grained wheels and touchpads send parts of a notch, which add
// up in remainder until they make one. > 0 away from the user.
int wholeNotches(int &remainder, int wheelDelta);

// The scroll position after one page-wise notch: towards the user a screen down, away a screen
// up, each less the overlap; never above the top.
int pageScrollTarget(int scrollTop, int clientHeight, int wheelDelta, int overlap = kPageOverlap);
// A scroll position kept within the page (scrollHeight 0: the page's size is not known yet).
int clampScrollTop(int scrollTop, int scrollHeight, int clientHeight);
// The keypad's page down (+1) and page up (-1), with the same overlap.
int pageKeyTarget(int scrollTop, int clientHeight, int direction, int overlap = kPageOverlap);

enum class WheelAction {
    Platform,   // the engine scrolls as usual
    Zoom,       // Ctrl: the body's zoom steps by 5 %
    PageScroll, // a screen less the overlap
};

struct WheelDecision
{
    WheelAction action = WheelAction::Platform;
    bool suppressContextMenu = false; // the right button is held: its release shows no menu
};

// gbOptBit8 on means the engine's own scrolling; holding the right button swaps the two.
[[nodiscard]] WheelDecision decideWheel(Qt::KeyboardModifiers modifiers, bool rightButtonHeld,
                                        bool gbOptBit8);

enum class ContextMenuAction {
    Nothing,       // a menu right after a wheel or double-click with the right button: none
    EngineMenu,    // the engine's own menu
    CloseWindow,   // the rocker gesture: left button held, right clicked
    TakeOverLink,  // the link loads where the mode says
    TextMenu,      // the frame's document menu with the word or selection stored
    FormFieldMenu, // the frame's form-field menu (Paste, Edit)
};

struct ContextMenuInput
{
    bool suppress = false; // gbSuppressContextMenu
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    bool leftButtonHeld = false;
    bool onLink = false;
    QString tagName;      // of the element under the pointer, upper case
    QString inputType;    // lower case, for INPUT
    bool hasText = false; // a word under the pointer or a selection
};

// The suppression flag is always cleared by the caller after this.
[[nodiscard]] ContextMenuAction decideContextMenu(const ContextMenuInput &in);

// Where a link taken over by the context menu goes: the transient mode 5 in Tabbed Browser
// mode, and the window's bNavigateInOtherWindow.
struct LinkTakeOver
{
    int browsingMode = 1;
    bool navigateInOtherWindow = false;
};
[[nodiscard]] LinkTakeOver takeOverLink(int giBrowsingMode);
