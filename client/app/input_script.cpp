// input_script.cpp -- reading and playing input scripts.
#include "client/app/input_script.h"

#include <charconv>
#include <utility>

namespace kestrane {

namespace {

constexpr std::pair<std::string_view, int> kHoldKeys[] = {
    {"up", kKeyUp},       {"down", kKeyDown}, {"left", kKeyLeft}, {"right", kKeyRight},
    {"space", kKeySpace}, {"lalt", kKeyLeftAlt}, {"f1", kKeyF1},  {"f10", kKeyF10}, {"tab", kKeyTab},
};

constexpr std::pair<std::string_view, ScriptKey> kPressKeys[] = {
    {"enter", ScriptKey::Enter}, {"escape", ScriptKey::Escape}, {"backspace", ScriptKey::Backspace},
    {"delete", ScriptKey::Delete}, {"left", ScriptKey::Left},    {"right", ScriptKey::Right},
    {"home", ScriptKey::Home},   {"end", ScriptKey::End},       {"f5", ScriptKey::F5}, {"f6", ScriptKey::F6}, {"f7", ScriptKey::F7}, {"f11", ScriptKey::F11},
    {"f12", ScriptKey::F12},
};

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// Splits off the first word of `rest`.
std::string_view firstWord(std::string_view& rest) {
    rest = trim(rest);
    const std::size_t end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : trim(rest.substr(end));
    return word;
}

std::optional<int> parseCount(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// One line's command; false with `problem` set when it cannot be read.
bool parseLine(std::string_view line, ScriptCommand& command, std::string& problem) {
    std::string_view rest = line;
    const std::string_view verb = firstWord(rest);
    using Kind = ScriptCommand::Kind;
    if (verb == "wait-players" || verb == "wait-frames") {
        command.kind = verb == "wait-players" ? Kind::WaitPlayers : Kind::WaitFrames;
        const std::optional<int> count = parseCount(rest);
        if (!count) {
            problem = std::string(verb) + " wants a whole number, not '" + std::string(rest) + "'";
            return false;
        }
        command.count = *count;
    } else if (verb == "wait-chat") {
        command.kind = Kind::WaitChat;
        command.text = std::string(rest);
        if (command.text.empty()) {
            problem = "wait-chat wants the text to wait for";
            return false;
        }
    } else if (verb == "hold") {
        command.kind = Kind::Hold;
        for (std::string_view name = firstWord(rest); !name.empty(); name = firstWord(rest)) {
            bool known = false;
            for (const auto& [keyName, code] : kHoldKeys) {
                if (keyName == name) {
                    command.keys[static_cast<std::size_t>(code)] = kKeyDownBit;
                    known = true;
                }
            }
            if (!known) {
                problem = "hold knows no key '" + std::string(name) + "'";
                return false;
            }
        }
    } else if (verb == "type") {
        command.kind = Kind::Type;
        command.text = std::string(rest);
    } else if (verb == "key") {
        command.kind = Kind::Key;
        bool known = false;
        for (const auto& [keyName, key] : kPressKeys) {
            if (keyName == rest) {
                command.key = key;
                known = true;
            }
        }
        if (!known) {
            problem = "key knows no key '" + std::string(rest) + "'";
            return false;
        }
    } else if (verb == "screenshot") {
        command.kind = Kind::Screenshot;
        command.text = std::string(rest);
        if (command.text.empty()) {
            problem = "screenshot wants a file name";
            return false;
        }
    } else if (verb == "close") {
        command.kind = Kind::Close;
    } else {
        problem = "unknown command '" + std::string(verb) + "'";
        return false;
    }
    return true;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += text.empty() ? name : ", " + name;
    }
    return text;
}

}  // namespace

std::optional<std::vector<ScriptCommand>> parseInputScript(std::string_view text, std::string& error) {
    std::vector<ScriptCommand> commands;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        ScriptCommand command;
        command.line = lineNumber;
        std::string problem;
        if (!parseLine(line, command, problem)) {
            error = "line " + std::to_string(lineNumber) + ": " + problem;
            return std::nullopt;
        }
        commands.push_back(std::move(command));
    }
    return commands;
}

void ScriptPlayer::step(ScriptHost& host) {
    while (!failed_ && !finished()) {
        if (!run(commands_[next_], host)) {
            return;
        }
        ++next_;
        framesWaited_ = 0;
        waitStarted_.reset();
    }
}

bool ScriptPlayer::waitFor(bool condition, const ScriptCommand& command, ScriptHost& host, const std::string& what) {
    if (condition) {
        return true;
    }
    if (!waitStarted_) {
        waitStarted_ = host.now();
    } else if (host.now() - *waitStarted_ > kScriptWaitLimit) {
        host.reportError("script line " + std::to_string(command.line) + ": gave up waiting for " + what);
        failed_ = true;
        host.requestClose();
    }
    return false;
}

bool ScriptPlayer::run(const ScriptCommand& command, ScriptHost& host) {
    using Kind = ScriptCommand::Kind;
    switch (command.kind) {
        case Kind::WaitPlayers: {
            const std::vector<std::string> names = host.playerNames();
            const bool ready = host.worldRunning() && names.size() == static_cast<std::size_t>(command.count);
            if (!waitFor(ready, command, host, std::to_string(command.count) + " players")) {
                return false;
            }
            host.report("script: players " + std::to_string(command.count) + ": " + joined(names));
            return true;
        }
        case Kind::WaitChat: {
            bool shown = false;
            for (const std::string& line : host.chatLines()) {
                shown = shown || line.find(command.text) != std::string::npos;
            }
            if (!waitFor(shown, command, host, "the chat line '" + command.text + "'")) {
                return false;
            }
            host.report("script: chat " + command.text);
            return true;
        }
        case Kind::WaitFrames:
            if (framesWaited_ >= command.count) {
                return true;
            }
            ++framesWaited_;
            return false;
        case Kind::Hold:
            host.setKeys(command.keys);
            return true;
        case Kind::Type:
            host.typeText(command.text);
            return true;
        case Kind::Key:
            host.pressKey(command.key);
            return true;
        case Kind::Screenshot:
            host.requestScreenshot(command.text);
            return true;
        case Kind::Close:
            host.requestClose();
            return true;
    }
    return true;
}

}  // namespace kestrane
