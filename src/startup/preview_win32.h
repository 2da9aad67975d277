// Embedding a saver window into the host's preview window.
#pragma once

#include <windows.h>

#include "startup/error_info.h"
#include "win32/form_win32.h"

namespace orrivel {

// Reads the host handle from the argument text (after its first three
// characters) and embeds the form. A text that is not a number fails by
// value (error 13 or 6) before anything is changed.
ErrorInfo EmbedInPreview(win32::Form& form);

// Makes the form a visible child of `host` at (0, 0) with the host's size,
// not activated. A handle that is not a window leaves the form hidden. The
// run ends (EndSaver) within a second once the host is gone.
void EmbedInPreviewWindow(win32::Form& form, HWND host);

// The 32 significant bits of a handle, sign-extended as the system does.
inline HWND HandleFromValue(uint32_t value) {
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

}  // namespace orrivel
