#pragma once

// The generated protocol headers in one place. The layer-shell header names a parameter
// `namespace`, which C++ reserves, so it is renamed while that header is read; everything it
// includes itself is included first, so that the renaming touches nothing else.
#include <stddef.h>
#include <stdint.h>
#include <wayland-client.h>

#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client.h"
#undef namespace

#include "kde-blur-client.h"
#include "viewporter-client.h"
#include "wlr-screencopy-unstable-v1-client.h"
#include "xdg-output-unstable-v1-client.h"
