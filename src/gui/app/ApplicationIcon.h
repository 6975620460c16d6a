#pragma once

#include <QIcon>

namespace tessaro {

// The tool's own icon, drawn from the SVG built into the program at the sizes a window manager asks for.
QIcon applicationIcon();

}  // namespace tessaro
