// environment.h -- setting this process's environment variables.
#pragma once

namespace kestrane {

// Sets `name` to `value` for this process and the programs it starts; an existing value is
// kept unless `replace`. True on success. Not thread-safe: call before threads start.
bool setEnvironmentVariable(const char* name, const char* value, bool replace);

}  // namespace kestrane
