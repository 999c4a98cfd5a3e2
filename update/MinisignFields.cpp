#include "update/MinisignFields.h"

#include <sodium.h>

bool DecodeBase64Exactly(std::string_view text, std::span<uint8_t> out) {
    // libsodium 1.0.18 decodes bytes above 0x7F as digits; refuse them first.
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    if (text.find_first_not_of(kAlphabet) != std::string_view::npos) return false;
    size_t decoded = 0;
    // Without an end pointer libsodium refuses text left over after the
    // padding; it also refuses missing padding and stray bits in the last
    // digit, so only the one canonical spelling of out is accepted.
    return sodium_base642bin(out.data(), out.size(), text.data(), text.size(), nullptr, &decoded,
                             nullptr, sodium_base64_VARIANT_ORIGINAL) == 0 &&
           decoded == out.size();
}

uint64_t KeyIdFromBytes(std::span<const uint8_t, kKeyIdBytes> bytes) {
    uint64_t id = 0;
    for (size_t i = kKeyIdBytes; i-- > 0;) id = (id << 8) | bytes[i];
    return id;
}
