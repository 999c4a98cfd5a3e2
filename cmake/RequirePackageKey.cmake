# Stops the configure step when a download server is off this machine and no
# VORN_PACKAGE_PUBKEY is given: that launcher would run whatever install
# package reaches it over plain HTTP. VORN_ALLOW_UNSIGNED=ON builds it anyway.
# Loopback servers (the tests, the demo) need no key.
# Included by BuildConstants.cmake, after the key's own check.

# vorn_url_is_loopback(url out): sets out to TRUE when the URL's host is
# "localhost" or a dotted address in 127.0.0.0/8. The host is taken as the
# launcher takes it (after the authority's last "@", before the port), so
# "http://localhost@dl.example.com/" is not loopback. Any other spelling
# ("127.1", "[::1]", a trailing dot) counts as a remote server.
function(vorn_url_is_loopback url out)
  string(STRIP "${url}" url)
  set(loopback FALSE)
  if(url MATCHES "^[A-Za-z][A-Za-z0-9+.-]*://([^/?#]*)")
    string(REGEX REPLACE "^.*@" "" host "${CMAKE_MATCH_1}")
    string(REGEX REPLACE ":[0-9]*$" "" host "${host}")
    string(TOLOWER "${host}" host)
    set(octet "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])")
    if(host STREQUAL "localhost" OR host MATCHES "^127\\.${octet}\\.${octet}\\.${octet}$")
      set(loopback TRUE)
    endif()
  endif()
  set(${out} ${loopback} PARENT_SCOPE)
endfunction()

if(VORN_PACKAGE_PUBKEY STREQUAL "")
  set(_vorn_remote_servers "")
  foreach(_vorn_url IN ITEMS "${VORN_GAMEPACK_URL}" "${VORN_GAMEPACK_URL_BAK}")
    vorn_url_is_loopback("${_vorn_url}" _vorn_loopback)
    if(NOT _vorn_loopback)
      string(APPEND _vorn_remote_servers "\n  ${_vorn_url}")
    endif()
  endforeach()
  if(NOT _vorn_remote_servers STREQUAL "" AND NOT VORN_ALLOW_UNSIGNED)
    message(FATAL_ERROR
      "No VORN_PACKAGE_PUBKEY is given, and these download servers are not on this machine:"
      "${_vorn_remote_servers}\n"
      "This launcher would run any install package that reaches it over plain HTTP. "
      "Give the publisher's minisign public key: make a key pair once with\n"
      "  minisign -G -p minisign.pub -s minisign.key\n"
      "and configure with -DVORN_PACKAGE_PUBKEY=\"$(sed -n 2p minisign.pub)\" "
      "(docs/package-signature.md). "
      "A build that knowingly runs unchecked packages takes -DVORN_ALLOW_UNSIGNED=ON instead.")
  elseif(NOT _vorn_remote_servers STREQUAL "")
    message(WARNING
      "VORN_ALLOW_UNSIGNED: this launcher runs install packages unchecked, from:"
      "${_vorn_remote_servers}")
  endif()
  unset(_vorn_remote_servers)
  unset(_vorn_loopback)
  unset(_vorn_url)
endif()
