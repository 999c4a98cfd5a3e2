#include "tests/update/SignatureFileText.h"

#include <sodium.h>

namespace {

std::string Bytes(const std::array<uint8_t, kSignatureBytes>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::string Base64(std::string_view bytes) {
    std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const uint8_t*>(bytes.data()),
                      bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();  // the terminating NUL
    return text;
}

std::string KeyIdBytes(uint64_t keyId) {
    std::string bytes;
    for (int i = 0; i < 8; ++i) bytes += char(keyId >> (8 * i));
    return bytes;
}

std::string SignatureFileText(const SignatureFile& file) {
    const std::string algorithm = file.algorithm == SignatureAlgorithm::Prehashed ? "ED" : "Ed";
    return "untrusted comment: " + file.untrustedComment + "\n" +
           Base64(algorithm + KeyIdBytes(file.keyId) + Bytes(file.signature)) + "\n" +
           "trusted comment: " + file.trustedComment + "\n" + Base64(Bytes(file.globalSignature)) +
           "\n";
}
