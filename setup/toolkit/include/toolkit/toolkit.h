// The skinned UI toolkit: include this one header.
#pragma once

#include "toolkit/platform.h"
#include "toolkit/core.h"
#include "toolkit/xml.h"
#include "toolkit/resource.h"
#include "toolkit/control.h"
#include "toolkit/controls.h"
#include "toolkit/containers.h"
#include "toolkit/paint_manager.h"
#include "toolkit/builder.h"
#include "toolkit/window.h"
#include "toolkit/shapes.h"
#ifndef _WIN32
#include "toolkit/headless.h"
#endif
