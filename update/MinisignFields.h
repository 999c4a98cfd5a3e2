// The encodings that minisign's key line and signature lines share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Each key and signature starts with two algorithm bytes and the key id.
inline constexpr size_t kAlgorithmBytes = 2;
inline constexpr size_t kKeyIdBytes = 8;

// Decodes text, standard base64 with its "=" padding and nothing else (no
// spaces, no line ends), into exactly out.size() bytes. Any other text is
// refused; out then holds no meaning.
bool DecodeBase64Exactly(std::string_view text, std::span<uint8_t> out);

// minisign's key id: its 8 bytes read as a little-endian number.
uint64_t KeyIdFromBytes(std::span<const uint8_t, kKeyIdBytes> bytes);
