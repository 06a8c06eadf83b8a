#!/usr/bin/env bash
# build-deps.sh -- builds the libraries the Windows programs need, from Debian's source packages,
# with our toolchain file, and installs them into one prefix.
#
# Usage: scripts/windows/build-deps.sh PREFIX WORK_DIR
# Needs the deb-src entry scripts/build-windows adds. SDL2, SDL2_ttf and SDL2_mixer become DLLs;
# FreeType, Dear ImGui and GoogleTest static libraries; stb is headers. Only what the game uses
# is built: SDL2_mixer with WAV alone, FreeType and SDL2_ttf without optional libraries.
set -euo pipefail

prefix=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$(cd "$here/../../cmake/windows" && pwd)/mingw-w64-x86_64.cmake
jobs=${KESTRANE_JOBS:-2}

# The source packages, in build order.
packages=(libsdl2 freetype libsdl2-ttf libsdl2-mixer imgui googletest libstb)

rm -rf "$work"
mkdir -p "$work/src" "$prefix"
(cd "$work/src" && apt-get source -qq "${packages[@]}" 2>&1 | grep -v '^W: Download is performed unsandboxed\|^dpkg-source: info' || true)

source_dir() {  # the unpacked tree of source package $1
  local dir
  dir=$(find "$work/src" -maxdepth 1 -mindepth 1 -type d -name "$1-[0-9]*" | head -n 1)
  if [ -z "$dir" ]; then
    echo "build-deps: the source of $1 was not unpacked" >&2
    exit 1
  fi
  echo "$dir"
}

build() {  # build NAME SOURCE_DIR CMAKE_OPTION...
  local name=$1 source=$2
  shift 2
  local begun=$SECONDS
  echo "build-deps: $name"
  cmake -S "$source" -B "$work/build/$name" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKESTRANE_WINDOWS_DEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >"$work/$name.configure.log" 2>&1 ||
    { tail -n 40 "$work/$name.configure.log"; exit 1; }
  cmake --build "$work/build/$name" -j "$jobs" >"$work/$name.build.log" 2>&1 ||
    { tail -n 40 "$work/$name.build.log"; exit 1; }
  cmake --install "$work/build/$name" >/dev/null
  echo "build-deps: $name took $((SECONDS - begun)) s"
}

# SDL without what the game never asks of it: force feedback, HID drivers, sensors, battery,
# locale, URLs, Vulkan, OpenGL ES (game controllers still work through XInput and DirectInput).
build sdl2 "$(source_dir libsdl2)" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL2_DISABLE_UNINSTALL=ON \
  -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF \
  -DSDL_VULKAN=OFF -DSDL_OPENGLES=OFF -DSDL_DISKAUDIO=OFF

build freetype "$(source_dir freetype)" -DBUILD_SHARED_LIBS=OFF \
  -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON

build sdl2_ttf "$(source_dir libsdl2-ttf)" -DBUILD_SHARED_LIBS=ON -DSDL2TTF_SAMPLES=OFF \
  -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF

build sdl2_mixer "$(source_dir libsdl2-mixer)" -DBUILD_SHARED_LIBS=ON -DSDL2MIXER_SAMPLES=OFF \
  -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_DEPS_SHARED=OFF -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF \
  -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF \
  -DSDL2MIXER_VORBIS= -DSDL2MIXER_WAVE=ON

imgui=$(source_dir imgui)
cp "$here/imgui/CMakeLists.txt" "$imgui/CMakeLists.txt"
build imgui "$imgui"

build googletest "$(source_dir googletest)" -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON \
  -Dgtest_force_shared_crt=ON

# stb: the two headers, and their code compiled once into libstb.a as Debian's libstb has it
# (file names are UTF-8, as everywhere in the game).
stb=$(source_dir libstb)
mkdir -p "$prefix/include" "$prefix/lib"
cp "$stb"/stb_image.h "$stb"/stb_image_write.h "$prefix/include/"
printf '%s\n' '#define STB_IMAGE_IMPLEMENTATION' '#define STB_IMAGE_WRITE_IMPLEMENTATION' \
  '#define STBI_WINDOWS_UTF8' '#define STBIW_WINDOWS_UTF8' '#include "stb_image.h"' '#include "stb_image_write.h"' \
  >"$work/stb.c"
x86_64-w64-mingw32-gcc-posix -O2 -w -c -I "$prefix/include" "$work/stb.c" -o "$work/stb.o"
x86_64-w64-mingw32-ar rcs "$prefix/lib/libstb.a" "$work/stb.o"

# The licences of what goes into the game's zip.
mkdir -p "$prefix/share/licenses"
for package in libsdl2 libsdl2-ttf libsdl2-mixer freetype imgui; do
  mkdir -p "$prefix/share/licenses/$package"
  cp "$(source_dir "$package")/debian/copyright" "$prefix/share/licenses/$package/copyright"
done
rm -rf "$work/build"
