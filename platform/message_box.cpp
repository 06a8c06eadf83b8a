// message_box.cpp -- the replaceable message handler.
#include "platform/message_box.h"

#include <cstdio>
#include <memory>
#include <mutex>

namespace kestrane {

namespace {

std::mutex handlerMutex;

MessageBoxHandler& currentHandler() {
    static MessageBoxHandler handler = writeMessageToStderr;
    return handler;
}

}  // namespace

void writeMessageToStderr(std::string_view caption, std::string_view text) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    std::fflush(stderr);
}

void showMessageBox(std::string_view caption, std::string_view text) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = currentHandler();
    }
    if (handler) {
        handler(caption, text);
    }
}

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(handlerMutex);
    return std::exchange(currentHandler(), std::move(handler));
}

struct MessageBoxCapture::State {
    mutable std::mutex mutex;
    std::vector<std::pair<std::string, std::string>> shown;
};

MessageBoxCapture::MessageBoxCapture() : state_(std::make_shared<State>()) {
    previous_ = setMessageBoxHandler([state = state_](std::string_view caption, std::string_view text) {
        std::lock_guard lock(state->mutex);
        state->shown.emplace_back(caption, text);
    });
}

MessageBoxCapture::~MessageBoxCapture() { setMessageBoxHandler(std::move(previous_)); }

std::vector<std::pair<std::string, std::string>> MessageBoxCapture::shown() const {
    std::lock_guard lock(state_->mutex);
    return state_->shown;
}

std::vector<std::string> MessageBoxCapture::texts() const {
    std::vector<std::string> result;
    for (const auto& entry : shown()) {
        result.push_back(entry.second);
    }
    return result;
}

}  // namespace kestrane
