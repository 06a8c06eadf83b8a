# install_service.cmake -- run by `cmake --install` and cpack: the server's system service and
# its settings file, which name the prefix chosen at install time.
#   KESTRANE_PACKAGING_SOURCE  this folder
#   KESTRANE_PACKAGING_BINARY  its build folder, for the written unit

# Settings live in /etc for a system installation (as GNUInstallDirs has it), else under the prefix.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(KESTRANE_ETC_DIR /etc)
else()
  set(KESTRANE_ETC_DIR "${CMAKE_INSTALL_PREFIX}/etc")
endif()
set(KESTRANE_BIN_DIR "${CMAKE_INSTALL_PREFIX}/bin")

# One written unit per prefix, so that installs to different prefixes at once do not collide.
string(MD5 _prefix_id "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(_unit "${KESTRANE_PACKAGING_BINARY}/service/${_prefix_id}/kestrane-server.service")
configure_file("${KESTRANE_PACKAGING_SOURCE}/kestrane-server.service.in" "${_unit}" @ONLY)
file(INSTALL "${_unit}" DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")

# An operator's own settings stay as they are.
if(EXISTS "$ENV{DESTDIR}${KESTRANE_ETC_DIR}/default/kestrane-server")
  message(STATUS "Keeping: $ENV{DESTDIR}${KESTRANE_ETC_DIR}/default/kestrane-server")
else()
  file(INSTALL "${KESTRANE_PACKAGING_SOURCE}/kestrane-server.default" DESTINATION "${KESTRANE_ETC_DIR}/default"
       RENAME kestrane-server)
endif()
