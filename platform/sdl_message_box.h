// sdl_message_box.h -- message boxes as SDL windows, for the programs that have a display.
#pragma once

namespace kestrane {

// Installs a handler that shows SDL's simple message box and falls back to stderr when no
// display can show it, or when KESTRANE_NO_DIALOGS is set (scripts and tests never block).
void useSdlMessageBoxes();

}  // namespace kestrane
