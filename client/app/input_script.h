// input_script.h -- keyboard input played from a file instead of the keyboard (--script), so
// automated tests and demos can drive the real client program.
//
// One command a line; blank lines and lines starting with '#' are skipped:
//   wait-players N    wait until the world runs with exactly N players, then print
//                     "script: players N: <names>" on stdout
//   wait-chat TEXT    wait until a chat line on screen contains TEXT (UTF-8), then print
//                     "script: chat TEXT"
//   wait-frames N     let N frames pass before the next command
//   hold KEY...       from this frame on exactly these game keys are down (none: all up);
//                     keys: up down left right space lalt f1 f10 tab
//   type TEXT         type TEXT (UTF-8) as text input, e.g. into the open chat box
//   key KEY           press and release one key as a window event;
//                     keys: enter escape backspace delete left right home end f5 f6 f7
//                     f11 f12
//   screenshot FILE   save the game screen as PNG once this frame is drawn (relative to the
//                     start directory), then print "script: saved FILE"
//   close             the window's close request, as Alt+F4 gives it
// A wait that lasts longer than kScriptWaitLimit gives up: the script ends with a message
// on stderr and a close request, and the client's exit status says so.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/media/keyboard.h"

namespace kestrane {

inline constexpr double kScriptWaitLimit = 30.0;  // seconds

// Keys the script presses as window events (they reach the chat box and the screenshot key).
enum class ScriptKey { Enter, Escape, Backspace, Delete, Left, Right, Home, End, F5, F6, F7, F11, F12 };

struct ScriptCommand {
    enum class Kind { WaitPlayers, WaitChat, WaitFrames, Hold, Type, Key, Screenshot, Close };
    Kind kind = Kind::Close;
    int line = 0;              // in the file, from 1
    int count = 0;             // WaitPlayers, WaitFrames
    KeyState keys{};           // Hold
    std::string text;          // Type, WaitChat; Screenshot: the file
    ScriptKey key = ScriptKey::Enter;
};

// The commands of a script, or nothing with `error` saying which line is wrong and why.
std::optional<std::vector<ScriptCommand>> parseInputScript(std::string_view text, std::string& error);

// What the script reaches in the client.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual double now() const = 0;  // seconds, monotonic
    virtual bool worldRunning() const = 0;
    // Names of the players in the world (UTF-8), in table order.
    virtual std::vector<std::string> playerNames() const = 0;
    // The chat lines on screen (UTF-8), oldest first.
    virtual std::vector<std::string> chatLines() const = 0;
    virtual void setKeys(const KeyState& keys) = 0;
    virtual void typeText(std::string_view utf8) = 0;
    virtual void pressKey(ScriptKey key) = 0;
    // Saves the screen once the current frame is drawn and reports it.
    virtual void requestScreenshot(const std::string& file) = 0;
    virtual void requestClose() = 0;
    // One line of progress (stdout) or of failure (stderr).
    virtual void report(const std::string& line) = 0;
    virtual void reportError(const std::string& line) = 0;
};

// Plays the commands, one frame at a time. Main thread only.
class ScriptPlayer {
public:
    explicit ScriptPlayer(std::vector<ScriptCommand> commands) : commands_(std::move(commands)) {}

    // Called once per frame, before the frame is drawn: runs commands until one has to wait
    // for a later frame.
    void step(ScriptHost& host);

    bool finished() const { return next_ >= commands_.size(); }
    bool failed() const { return failed_; }

private:
    // True when the command is done and the next may run in this frame.
    bool run(const ScriptCommand& command, ScriptHost& host);
    bool waitFor(bool condition, const ScriptCommand& command, ScriptHost& host, const std::string& what);

    std::vector<ScriptCommand> commands_;
    std::size_t next_ = 0;
    int framesWaited_ = 0;
    std::optional<double> waitStarted_;
    bool failed_ = false;
};

}  // namespace kestrane
