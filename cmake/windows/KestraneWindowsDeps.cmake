# The Windows builds of the libraries (scripts/windows/build-deps.sh), under the names the Linux
# build gets from pkg-config, so the rest of the build files need not tell the systems apart.
if(NOT KESTRANE_WINDOWS_DEPS)
  message(FATAL_ERROR "KESTRANE_WINDOWS_DEPS must name the prefix of the Windows libraries (scripts/build-windows sets it)")
endif()
set(_deps ${KESTRANE_WINDOWS_DEPS})

find_package(SDL2 REQUIRED CONFIG)
find_package(SDL2_ttf REQUIRED CONFIG)
find_package(SDL2_mixer REQUIRED CONFIG)

# Our programs have their own main(): SDL must not replace it with SDL_main.
add_library(PkgConfig::SDL2 INTERFACE IMPORTED GLOBAL)
target_link_libraries(PkgConfig::SDL2 INTERFACE SDL2::SDL2)
target_compile_definitions(PkgConfig::SDL2 INTERFACE SDL_MAIN_HANDLED)

add_library(PkgConfig::SDL2_TTF INTERFACE IMPORTED GLOBAL)
target_link_libraries(PkgConfig::SDL2_TTF INTERFACE SDL2_ttf::SDL2_ttf PkgConfig::SDL2)

add_library(PkgConfig::SDL2_MIXER INTERFACE IMPORTED GLOBAL)
target_link_libraries(PkgConfig::SDL2_MIXER INTERFACE SDL2_mixer::SDL2_mixer PkgConfig::SDL2)

add_library(PkgConfig::IMGUI STATIC IMPORTED GLOBAL)
set_target_properties(PkgConfig::IMGUI PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libimgui.a)
target_include_directories(PkgConfig::IMGUI INTERFACE ${_deps}/include/imgui ${_deps}/include/imgui/backends)
target_link_libraries(PkgConfig::IMGUI INTERFACE PkgConfig::SDL2)

add_library(PkgConfig::STB STATIC IMPORTED GLOBAL)
set_target_properties(PkgConfig::STB PROPERTIES IMPORTED_LOCATION ${_deps}/lib/libstb.a)
target_include_directories(PkgConfig::STB INTERFACE ${_deps}/include)

set(KESTRANE_IMGUI_BACKENDS ${_deps}/share/imgui/backends)
set(KESTRANE_IMGUI_INCLUDE_DIRS ${_deps}/include/imgui ${_deps}/include/imgui/backends)
# The DLLs the programs load, for the tests' and the zip's use.
file(GLOB KESTRANE_WINDOWS_DLLS ${_deps}/bin/*.dll)
