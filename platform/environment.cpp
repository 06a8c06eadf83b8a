// environment.cpp -- setenv, or _putenv_s on Windows.
#include "platform/environment.h"

#include <cstdlib>

namespace kestrane {

bool setEnvironmentVariable(const char* name, const char* value, bool replace) {
#ifdef _WIN32
    if (!replace && std::getenv(name) != nullptr) {
        return true;
    }
    return _putenv_s(name, value) == 0;
#else
    return setenv(name, value, replace ? 1 : 0) == 0;
#endif
}

}  // namespace kestrane
