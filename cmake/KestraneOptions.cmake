# Compiler warnings and sanitizers shared by every Kestrane target.

add_library(kestrane_options INTERFACE)
target_compile_options(kestrane_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wimplicit-fallthrough -Wformat=2 -Wcast-qual)
if(KESTRANE_WERROR)
  target_compile_options(kestrane_options INTERFACE -Werror)
endif()

if(KESTRANE_SANITIZERS)
  set(_flags -fsanitize=${KESTRANE_SANITIZERS} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_compile_options(kestrane_options INTERFACE ${_flags})
  target_link_options(kestrane_options INTERFACE ${_flags})
  # AddressSanitizer cannot see an index that stays inside one object (a std::array member read
  # past its end, a span cut too long); the standard library's own bounds checks can.
  if(KESTRANE_SANITIZERS MATCHES "address")
    target_compile_definitions(kestrane_options INTERFACE _GLIBCXX_ASSERTIONS)
  endif()
endif()

# kestrane_library(name SOURCES ... DEPS ...): a static library with the project's options.
function(kestrane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC kestrane_options ${ARG_DEPS})
endfunction()

# kestrane_test(name SOURCES ... DEPS ...): a GoogleTest executable registered with ctest.
# Tests run headless (see tests/test_main.cpp) in the directory the programs and data files live in.
function(kestrane_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(_discovery_timeout 60)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    # Every system call goes through the emulator (Wine), and its first start is slow.
    math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * 3")
    set(_discovery_timeout 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kestrane_options ${ARG_DEPS} kestrane_test_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(_properties TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABELS)
    list(APPEND _properties LABELS ${ARG_LABELS})
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${KESTRANE_DATA_DIR}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT ${_discovery_timeout}
    PROPERTIES ${_properties})
endfunction()
