// test_files.h -- a temporary directory and the writers of the media files the tests need.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "tools/media_writers/media_writers.h"

namespace kestrane::testing {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

using kestrane::appendU16;
using kestrane::appendU32;
using kestrane::Bytes;
using kestrane::SpriteFileBuilder;
using kestrane::WaveFields;
using kestrane::writeBmp24;
using kestrane::writeFile;
using kestrane::writeWave;

}  // namespace kestrane::testing
