// Where a centred window goes; both window hosts place dialogs this way.
#pragma once

#include "toolkit/platform.h"

namespace toolkit {

// The top-left corner that centres `window` on `center` (the owner, or the
// work area), moved back inside `area` where it would stick out; for a
// window larger than the area its left and top edges win.
inline POINT CenteredCorner(const RECT& window, const RECT& center, const RECT& area) {
  const LONG w = window.right - window.left, h = window.bottom - window.top;
  POINT corner{(center.left + center.right - w) / 2, (center.top + center.bottom - h) / 2};
  if (corner.x + w > area.right) corner.x = area.right - w;
  if (corner.y + h > area.bottom) corner.y = area.bottom - h;
  if (corner.x < area.left) corner.x = area.left;
  if (corner.y < area.top) corner.y = area.top;
  return corner;
}

}  // namespace toolkit
