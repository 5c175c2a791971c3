#pragma once

// Points, with the rest of the window system's plain values.
#include "platform/gui/types.h"
