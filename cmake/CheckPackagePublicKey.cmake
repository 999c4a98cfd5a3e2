# Stops the configure step when VORN_PACKAGE_PUBKEY is set but is not the key
# line of a minisign.pub file: 56 base64 characters that decode to "Ed", the
# key id and the Ed25519 key, so they start with "RWQ", "RWR", "RWS" or "RWT".
# Included by BuildConstants.cmake; runs alone too:
#   cmake -DVORN_PACKAGE_PUBKEY=RW... -P cmake/CheckPackagePublicKey.cmake
string(LENGTH "${VORN_PACKAGE_PUBKEY}" _vorn_pubkey_length)
if(NOT _vorn_pubkey_length EQUAL 0 AND
   (NOT _vorn_pubkey_length EQUAL 56 OR NOT VORN_PACKAGE_PUBKEY MATCHES "^RW[QRST][A-Za-z0-9+/]+$"))
  message(FATAL_ERROR
    "VORN_PACKAGE_PUBKEY is not a minisign public key: \"${VORN_PACKAGE_PUBKEY}\"\n"
    "Give the second line of the publisher's minisign.pub file (56 base64 characters "
    "starting with \"RW\", without spaces), or leave it empty to install packages unchecked "
    "(loopback download servers, or VORN_ALLOW_UNSIGNED=ON).")
endif()
unset(_vorn_pubkey_length)
