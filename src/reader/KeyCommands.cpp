#include "reader/KeyCommands.h"

Qt::KeyboardModifiers commandModifiers(Qt::KeyboardModifiers modifiers)
{
    return modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
}

KeyCommand keyDownCommand(int vk, Qt::KeyboardModifiers modifiers, const KeyState &state)
{
    if (state.textEntry || commandModifiers(modifiers) != Qt::NoModifier)
        return KeyCommand::None;
    switch (vk) {
    case 98:
    case 'V':
    case 'N':
        return KeyCommand::PageTop;
    case 99:
    case 'B':
        return KeyCommand::PageEnd;
    case 104:
        return KeyCommand::IncreaseImages;
    case VirtualKey::F5:
        return KeyCommand::Refresh;
    default:
        return KeyCommand::None;
    }
}

KeyCommand keyUpCommand(int vk, Qt::KeyboardModifiers modifiers, const KeyState &state)
{
    const Qt::KeyboardModifiers mods = commandModifiers(modifiers);
    // Releasing Ctrl on its own: whatever the platform reports as still held.
    if (vk == VirtualKey::Control)
        return KeyCommand::FocusLargestFrame;
    if (mods == Qt::AltModifier) {
        if (vk == 'D')
            return KeyCommand::FocusAddressBox;
        if (vk == 'P')
            return KeyCommand::PrintPreview;
        return KeyCommand::None;
    }
    if (mods == Qt::ControlModifier) {
        switch (vk) {
        case 'O':
        case 'L':
            return KeyCommand::OpenUrl;
        case 'S':
            return KeyCommand::SaveAs;
        case VirtualKey::Minus:
            return KeyCommand::SaveForm;
        // As the top bar's form cells name them: 0 clears, = fills.
        case VirtualKey::Key0:
            return KeyCommand::ResetForms;
        case VirtualKey::Equals:
            return KeyCommand::FillForm;
        default:
            return KeyCommand::None;
        }
    }
    if (mods == Qt::ShiftModifier) {
        if (vk == VirtualKey::F12)
            return state.textEntry ? KeyCommand::None : KeyCommand::PreviousWindow;
        return vk == VirtualKey::Grave ? KeyCommand::FocusDiagnostic : KeyCommand::None;
    }
    if (mods != Qt::NoModifier || state.textEntry)
        return KeyCommand::None;

    switch (vk) {
    case VirtualKey::Decimal:
    case 'X':
    case VirtualKey::Period:
    case VirtualKey::F12: // the menu's shortcut, when the page had the key first
        return KeyCommand::NextWindow;
    case 'Z':
    case VirtualKey::Comma:
        return KeyCommand::PreviousWindow;
    case 105:
        return KeyCommand::CycleBrowseMode;
    case 103:
        return KeyCommand::SiteHome;
    case VirtualKey::Add:
        return KeyCommand::EnlargeFonts;
    case 100:
    case 'K':
        return KeyCommand::KeepAndNext;
    case 102:
    case 'W':
        return KeyCommand::ShowSidebarNotes;
    case 101:
        return KeyCommand::MarkForClosing;
    case VirtualKey::Subtract:
        return KeyCommand::BackToPreviousWindow;
    case VirtualKey::Backspace:
        return state.mbNavigateBack ? KeyCommand::GoBack : KeyCommand::None;
    default:
        return KeyCommand::None;
    }
}

KeyCommand pageKeyCommand(int vk, Qt::KeyboardModifiers modifiers, const KeyState &state)
{
    if (state.textEntry || commandModifiers(modifiers) != Qt::NoModifier)
        return KeyCommand::None;
    switch (vk) {
    case VirtualKey::Space:
        return KeyCommand::FocusDocument;
    case VirtualKey::Numpad0:
        return KeyCommand::PageDown;
    case 97:
    case 'C':
    case 'M':
        return KeyCommand::PageUp;
    default:
        return KeyCommand::None;
    }
}
