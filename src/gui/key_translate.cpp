#include "gui/key_translate.h"

#include "resources/resources.h"

namespace octile {

namespace {

uint32_t VirtualKeyOf(int qtKey) {
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        return static_cast<uint32_t>(qtKey);  // the same codes as the virtual keys
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return VK_F1 + static_cast<uint32_t>(qtKey - Qt::Key_F1);
    }
    switch (qtKey) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        default:
            return 0;
    }
}

}  // namespace

VirtualKeyPress TranslateKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (AltOrMetaHeld(modifiers)) return {};
    VirtualKeyPress press;
    press.key = VirtualKeyOf(qtKey);
    if (press.key == 0) return {};
    // Shift+Tab arrives as Backtab.
    if ((modifiers & Qt::ShiftModifier) || qtKey == Qt::Key_Backtab) press.modifiers |= ACC_SHIFT;
    if (modifiers & Qt::ControlModifier) press.modifiers |= ACC_CONTROL;
    return press;
}

uint32_t AcceleratorCommand(const QKeyEvent& event) {
    const VirtualKeyPress press = TranslateKey(event.key(), event.modifiers());
    return press.key == 0 ? 0 : FindAccelerator(press.key, press.modifiers);
}

}  // namespace octile
