#pragma once

// The keyboard as it is now, apart from the key messages: whether a key is
// held at the moment of the call. Key messages tell of changes only while a
// window of ours has the focus; a window that may have missed a release
// (the focus was elsewhere) asks here. UI thread only.

#include "platform/gui/types.h"

#include <cstdint>

// The high bit (0x8000) is set while the key with the virtual-key code `vk`
// is held; 0 for a key that is up, for a code the layer cannot ask the
// keyboard about, and while the window system is not running.
std::int16_t GetAsyncKeyState(int vk);
