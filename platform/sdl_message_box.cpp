// sdl_message_box.cpp -- SDL_ShowSimpleMessageBox behind showMessageBox.
#include "platform/sdl_message_box.h"

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "platform/message_box.h"

namespace kestrane {

void useSdlMessageBoxes() {
    setMessageBoxHandler([](std::string_view caption, std::string_view text) {
        const char* noDialogs = std::getenv("KESTRANE_NO_DIALOGS");
        if (noDialogs == nullptr || *noDialogs == '\0' || std::string(noDialogs) == "0") {
            const std::string title(caption);
            const std::string body(text);
            if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title.c_str(), body.c_str(), nullptr) == 0) {
                return;
            }
        }
        writeMessageToStderr(caption, text);
    });
}

}  // namespace kestrane
