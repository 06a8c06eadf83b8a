// program_paths_windows.cpp -- the module's file name and the roaming application data folder.
#include "platform/program_paths.h"
#include "platform/font_path.h"

#include <string>

#include "platform/winsock_headers.h"

namespace kestrane {

std::optional<std::filesystem::path> runningProgramFile() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return std::nullopt;
        }
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name);
        }
        name.resize(name.size() * 2);  // cut off: ask again with more room
    }
}

std::string unifontPath() {
    constexpr const char* kFontFile = "unifont.otf";
    if (const std::optional<std::filesystem::path> program = runningProgramFile()) {
        const std::filesystem::path beside = program->parent_path() / kFontFile;
        std::error_code error;
        if (std::filesystem::exists(beside, error)) {
            const std::u8string utf8 = beside.u8string();
            return std::string(utf8.begin(), utf8.end());
        }
    }
    return kFontFile;
}

std::optional<std::filesystem::path> userSettingsDirectory() {
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (appData == nullptr || appData[0] == L'\0') {
        return std::nullopt;
    }
    return std::filesystem::path(appData) / "Kestrane";
}

}  // namespace kestrane
