# The maker's public key, which zunpck32.dll and zpk trust, built into both as
# zpk_trusted_key.h (the DER SubjectPublicKeyInfo).
#
# DEFPATCH_PUBLIC_KEY names the maker's key (PEM) for a release. Without it the
# build makes a test key pair, private.pem and public.pem, in
# DEFPATCH_TEST_KEY_DIR (default: test-key beside the build tree, so that the
# trees of one build root share it), and trusts that: tests, the demo and anyone
# trying the program sign their packages with it.
set(DEFPATCH_PUBLIC_KEY "" CACHE FILEPATH "The maker's RSA public key (PEM) that the library trusts")
set(DEFPATCH_TEST_KEY_DIR "${CMAKE_BINARY_DIR}/../test-key" CACHE PATH
    "Where the build makes its test key pair when no DEFPATCH_PUBLIC_KEY is given")
find_program(DEFPATCH_OPENSSL openssl REQUIRED)

function(defpatch_openssl)
  execute_process(COMMAND ${DEFPATCH_OPENSSL} ${ARGN} RESULT_VARIABLE failed OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(failed)
    message(FATAL_ERROR "openssl ${ARGN} failed: ${err}")
  endif()
  set(openssl_output "${out}" PARENT_SCOPE)
endfunction()

set(key "${DEFPATCH_PUBLIC_KEY}")
if(NOT key)
  get_filename_component(dir "${DEFPATCH_TEST_KEY_DIR}" ABSOLUTE)
  if(NOT EXISTS "${dir}/private.pem")
    file(MAKE_DIRECTORY "${dir}")
    defpatch_openssl(genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "${dir}/private.pem")
    # A throwaway key: the tests read it as whatever user they run as.
    file(CHMOD "${dir}/private.pem" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  defpatch_openssl(pkey -in "${dir}/private.pem" -pubout -out "${dir}/public.pem")
  set(key "${dir}/public.pem")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${key}")

defpatch_openssl(pkey -pubin -in "${key}" -noout -text)
string(REGEX MATCH "Public-Key: \\(([0-9]+) bit" found "${openssl_output}")
set(bits "${CMAKE_MATCH_1}")
if(NOT found OR NOT openssl_output MATCHES "Modulus:" OR bits LESS 2048)
  message(FATAL_ERROR "${key} is not an RSA public key of at least 2048 bits")
endif()
string(REGEX MATCH "Exponent: ([0-9]+)" found "${openssl_output}")
set(exponent "${CMAKE_MATCH_1}")
defpatch_openssl(pkey -pubin -in "${key}" -outform DER -out "${CMAKE_BINARY_DIR}/trusted_key.der")
file(READ "${CMAKE_BINARY_DIR}/trusted_key.der" der HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," der "${der}")
# The modulus least significant byte first, as CryptoAPI's key blobs hold it.
defpatch_openssl(rsa -pubin -in "${key}" -noout -modulus)
string(REGEX MATCH "Modulus=([0-9A-F]+)" found "${openssl_output}")
set(hex "${CMAKE_MATCH_1}")
string(LENGTH "${hex}" length)
math(EXPR last "${length} - 2")
set(modulus "")
foreach(i RANGE ${last} 0 -2)
  string(SUBSTRING "${hex}" ${i} 2 pair)
  string(APPEND modulus "0x${pair},")
endforeach()
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/generated/zpk_trusted_key.h" CONTENT
     "// The maker's public key, from ${key}: as a DER SubjectPublicKeyInfo, and as
// its RSA modulus (least significant byte first) and public exponent.
#pragma once

constexpr unsigned char kZpkTrustedKey[] = {${der}};
constexpr unsigned char kZpkTrustedModulus[] = {${modulus}};
constexpr unsigned long kZpkTrustedExponent = ${exponent};
" @ONLY)
