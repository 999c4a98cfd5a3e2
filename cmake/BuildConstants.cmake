# Server addresses of the live build. Override with -DNAME=value; the demo and
# the tests point them at loopback services.
set(VORN_GAMEPACK_URL "http://dl.quorvane.example/download" CACHE STRING "Base URL of the primary download server")
set(VORN_GAMEPACK_URL_BAK "http://dl.quorvane-backup.example/download" CACHE STRING "Base URL of the backup download server")
set(VORN_UPDATE_URL "http://up.quorvane.example/update" CACHE STRING "Base URL of the primary update server")
set(VORN_UPDATE_URL_BAK "http://up.quorvane-backup.example/update" CACHE STRING "Base URL of the backup update server")
set(VORN_HTTPDNS_ENDPOINT "203.0.113.53" CACHE STRING "HTTP-DNS service: IPv4 address, or address:port")
set(VORN_STATS_URL "http://stats.quorvane.example" CACHE STRING "Statistics service: scheme and host, optional port")
set(VORN_SERVICE_PAGE_URL "http://service.quorvane.example/im_client/?web_plugin_id=1" CACHE STRING "Customer-service page")
# A server can send no more than this as the install package: a body past it
# is refused and not kept (8 GiB by default).
set(VORN_MAX_PACKAGE_BYTES "8589934592" CACHE STRING "Largest install package, in bytes")
if(NOT VORN_MAX_PACKAGE_BYTES MATCHES "^[1-9][0-9]*$")
  message(FATAL_ERROR "VORN_MAX_PACKAGE_BYTES must be a positive number of bytes, not \"${VORN_MAX_PACKAGE_BYTES}\"")
endif()
# The publisher's minisign public key (the base64 line of minisign.pub). With a
# key, a package is run only when its signature file checks out; empty leaves
# packages unchecked, which download servers off this machine allow only with
# VORN_ALLOW_UNSIGNED.
set(VORN_PACKAGE_PUBKEY "" CACHE STRING "Minisign public key that install packages must be signed with")
option(VORN_ALLOW_UNSIGNED "Build without VORN_PACKAGE_PUBKEY for remote download servers" OFF)
# Test and demo builds: a key pair of this build tree's own, made here with
# minisign and never committed; the sample package is signed with it.
option(VORN_TEST_PACKAGE_KEY "Make a key pair for this build and sign the sample package" OFF)
if(VORN_TEST_PACKAGE_KEY)
  include(${CMAKE_CURRENT_LIST_DIR}/TestPackageKey.cmake)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/CheckPackagePublicKey.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/RequirePackageKey.cmake)

configure_file(${CMAKE_CURRENT_LIST_DIR}/BuildConstants.h.in
               ${CMAKE_BINARY_DIR}/generated/BuildConstants.h @ONLY)
# Linked by what includes "BuildConstants.h": the launcher's start-up and the tests.
add_library(vorn_build_constants INTERFACE)
target_include_directories(vorn_build_constants INTERFACE ${CMAKE_BINARY_DIR}/generated)

# vorn_add_package_key(target key): the object that holds the package key of
# a program; the launcher links vorn_package_key, a test build may link another.
function(vorn_add_package_key target key)
  set(VORN_PACKAGE_KEY_VALUE "${key}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/PackageKey.cpp.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp @ONLY)
  add_library(${target} OBJECT ${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp)
  target_link_libraries(${target} PRIVATE vorn_build_constants)
endfunction()
