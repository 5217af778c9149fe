// Filled figures for controls that paint their own: GDI+ on the Win32
// host, nothing on the headless one.
#pragma once

#include "toolkit/platform.h"

namespace toolkit {

// smooth: anti-aliased edges; otherwise GDI+'s default (none).
// Angles in GDI+ degrees: clockwise from the right.
void FillPie(HDC hDC, const RECT& rc, int startDegrees, int sweepDegrees, DWORD argb, bool smooth);
void FillEllipse(HDC hDC, const RECT& rc, DWORD argb, bool smooth);

}  // namespace toolkit
