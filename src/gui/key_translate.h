#pragma once
// Qt key events to the virtual-key codes and modifier bits of the
// accelerator table.
#include <QKeyEvent>
#include <cstdint>

namespace octile {

struct VirtualKeyPress {
    uint32_t key = 0;        // VK_* or an upper-case letter/digit; 0 when none applies
    uint32_t modifiers = 0;  // AccelModifier bits
};

// Alt and Meta combinations belong to the menus and the desktop: they match
// no accelerator and type no text.
inline bool AltOrMetaHeld(Qt::KeyboardModifiers modifiers) {
    return (modifiers & (Qt::AltModifier | Qt::MetaModifier)) != 0;
}

// Alt and Meta combinations translate to no key.
VirtualKeyPress TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers);

// The command bound to a key press, or 0.
uint32_t AcceleratorCommand(const QKeyEvent& event);

}  // namespace octile
