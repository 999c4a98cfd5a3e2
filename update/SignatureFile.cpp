#include "update/SignatureFile.h"

#include <sodium.h>

#include <algorithm>
#include <span>

#include "update/MinisignFields.h"

static_assert(kSignatureBytes == crypto_sign_BYTES);

namespace {

constexpr size_t kLineCount = 4;
constexpr std::string_view kUntrustedPrefix = "untrusted comment: ";
constexpr std::string_view kTrustedPrefix = "trusted comment: ";

using Lines = std::array<std::string_view, kLineCount>;

// Exactly kLineCount lines, each without its line end.
std::optional<Lines> SplitLines(std::string_view text) {
    Lines lines;
    size_t count = 0;
    while (!text.empty()) {
        if (count == kLineCount) return std::nullopt;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines[count++] = line;
    }
    if (count != kLineCount) return std::nullopt;
    return lines;
}

// Control characters would let a comment forge or break lines of the log;
// tab stays, minisign puts one in its default trusted comment.
bool IsCommentText(std::string_view text) {
    return std::ranges::none_of(text, [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte == 0x7F;
    });
}

std::optional<std::string> CommentAfter(std::string_view prefix, std::string_view line) {
    if (!line.starts_with(prefix)) return std::nullopt;
    line.remove_prefix(prefix.size());
    if (!IsCommentText(line)) return std::nullopt;
    return std::string(line);
}

std::optional<SignatureAlgorithm> AlgorithmNamed(uint8_t first, uint8_t second) {
    if (first != 'E') return std::nullopt;
    if (second == 'D') return SignatureAlgorithm::Prehashed;
    if (second == 'd') return SignatureAlgorithm::Legacy;
    return std::nullopt;
}

}  // namespace

std::optional<SignatureFile> ParseSignatureFile(std::string_view text) {
    if (text.size() > kMaxSignatureFileBytes) return std::nullopt;
    const std::optional<Lines> lines = SplitLines(text);
    if (!lines) return std::nullopt;
    std::optional<std::string> untrusted = CommentAfter(kUntrustedPrefix, (*lines)[0]);
    std::optional<std::string> trusted = CommentAfter(kTrustedPrefix, (*lines)[2]);
    std::array<uint8_t, kAlgorithmBytes + kKeyIdBytes + kSignatureBytes> signatureLine;
    SignatureFile file;
    if (!untrusted || !trusted || !DecodeBase64Exactly((*lines)[1], signatureLine) ||
        !DecodeBase64Exactly((*lines)[3], file.globalSignature)) {
        return std::nullopt;
    }
    const std::optional<SignatureAlgorithm> algorithm =
        AlgorithmNamed(signatureLine[0], signatureLine[1]);
    if (!algorithm) return std::nullopt;

    const std::span<const uint8_t> fields(signatureLine);
    file.untrustedComment = std::move(*untrusted);
    file.algorithm = *algorithm;
    file.keyId = KeyIdFromBytes(fields.subspan<kAlgorithmBytes, kKeyIdBytes>());
    std::ranges::copy(fields.subspan(kAlgorithmBytes + kKeyIdBytes), file.signature.begin());
    file.trustedComment = std::move(*trusted);
    return file;
}
