#pragma once

#include <Qt>

// The single-key commands of a document window. Keys arrive as the platform's virtual-key
// codes (letters upper case, keypad 96..111 whether Num Lock is on or off).
enum class KeyCommand {
    None,
    // Form_KeyDown, no modifiers
    PageTop,
    PageEnd,
    IncreaseImages,
    Refresh,
    // Form_KeyUp, no modifiers
    NextWindow,
    PreviousWindow,
    CycleBrowseMode,
    SiteHome,
    EnlargeFonts,
    KeepAndNext,
    ShowSidebarNotes, // sidebar tab "m3"
    MarkForClosing,
    BackToPreviousWindow,
    GoBack,
    // Form_KeyUp with modifiers
    FocusAddressBox,
    OpenUrl,
    SaveAs,
    PrintPreview,
    FocusLargestFrame, // Ctrl released alone
    SaveForm,
    FillForm,
    ResetForms,
    FocusDiagnostic,
    // Doc_onkeydown, page keys
    FocusDocument, // Space: the document's window takes the focus, so the engine pages down
    PageDown,
    PageUp,
};

namespace VirtualKey {
inline constexpr int Backspace = 8;
inline constexpr int Control = 17;
inline constexpr int Space = 32;
inline constexpr int Key0 = 48;
inline constexpr int F5 = 116;
inline constexpr int F12 = 123;
inline constexpr int Numpad0 = 96;
inline constexpr int Decimal = 110;
inline constexpr int Add = 107;
inline constexpr int Subtract = 109;
inline constexpr int Equals = 187;
inline constexpr int Comma = 188;
inline constexpr int Minus = 189;
inline constexpr int Period = 190;
inline constexpr int Grave = 192;
} // namespace VirtualKey

// What the window knows when a key arrives.
struct KeyState
{
    bool textEntry = false;      // gbTextEntry: a text field has the focus
    bool mbNavigateBack = false; // Backspace goes back only when there is a page to go back to
};

// Only Shift, Ctrl and Alt count; the keypad flag is part of the key code already.
Qt::KeyboardModifiers commandModifiers(Qt::KeyboardModifiers modifiers);

// The command of a key press (Form_KeyDown) and of a key release (Form_KeyUp); None when the
// key means nothing here or a text field has the focus.
[[nodiscard]] KeyCommand keyDownCommand(int virtualKey, Qt::KeyboardModifiers modifiers,
                                        const KeyState &state);
[[nodiscard]] KeyCommand keyUpCommand(int virtualKey, Qt::KeyboardModifiers modifiers,
                                      const KeyState &state);
// The page keys of Doc_onkeydown (the document's own key event).
[[nodiscard]] KeyCommand pageKeyCommand(int virtualKey, Qt::KeyboardModifiers modifiers,
                                        const KeyState &state);
