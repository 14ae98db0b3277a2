// The small part of GDI the game uses: a device context into which a font is
// selected, for the extruded text meshes and the texture font. Faces are found
// with fontconfig and rendered with FreeType behind this interface.
#pragma once

#include "platform/wintypes.h"

struct DeviceContext;
using HDC = DeviceContext*;
