# A minisign key pair of this build tree's own, for the test and demo builds:
# made once, without a password, in <build>/test-package-key, and never
# committed. Sets VORN_PACKAGE_PUBKEY to its key line and
# VORN_TEST_PACKAGE_SECRET_KEY to the secret key that signs the sample package.
find_program(VORN_MINISIGN minisign REQUIRED)
set(_vorn_key_dir ${CMAKE_BINARY_DIR}/test-package-key)
set(VORN_TEST_PACKAGE_SECRET_KEY ${_vorn_key_dir}/minisign.key)
if(NOT EXISTS ${_vorn_key_dir}/minisign.pub)
  file(MAKE_DIRECTORY ${_vorn_key_dir})
  execute_process(
    COMMAND ${VORN_MINISIGN} -G -W -p ${_vorn_key_dir}/minisign.pub -s ${VORN_TEST_PACKAGE_SECRET_KEY}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
file(STRINGS ${_vorn_key_dir}/minisign.pub _vorn_key_lines)
list(GET _vorn_key_lines 1 _vorn_key_line)
set(VORN_PACKAGE_PUBKEY "${_vorn_key_line}" CACHE STRING
    "Minisign public key that install packages must be signed with" FORCE)
unset(_vorn_key_lines)
unset(_vorn_key_line)
unset(_vorn_key_dir)
