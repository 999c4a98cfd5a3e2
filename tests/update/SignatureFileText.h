// The text minisign writes for a signature file or key: how the tests make the
// files that the parser reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "update/SignatureFile.h"

// Standard base64 with padding, as minisign writes it.
std::string Base64(std::string_view bytes);

// The 8 bytes of a key id, little-endian.
std::string KeyIdBytes(uint64_t keyId);

// The four lines, each ended by LF.
std::string SignatureFileText(const SignatureFile& file);
