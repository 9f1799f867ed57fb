#pragma once
// The application icon and the toolbar's icons.
#include <QIcon>
#include <cstdint>

namespace octile {

// The icon compiled in from octile.svg; painted from the same shapes when
// no SVG renderer is installed.
QIcon ApplicationIcon();

// A toolbar command's icon from the desktop's theme, or a drawn one.
QIcon ToolbarIcon(uint32_t command);

}  // namespace octile
