// Fuzz target: a response head and a chunked body as a server might send them.
// Built under libFuzzer with clang, and as a corpus replay everywhere.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/ChunkedDecoder.h"
#include "net/ResponseHead.h"
#include "net/Url.h"

namespace {

void Check(bool holds) {
    if (!holds) __builtin_trap();
}

void CheckHead(std::string_view input) {
    const ResponseHead head = ParseResponseHead(input);
    if (head.problem == HeadProblem::None || head.problem == HeadProblem::BadContentLength ||
        head.problem == HeadProblem::UnsupportedTransferCoding) {
        Check(head.status >= 100 && head.status <= 999);
    }
    Check(head.contentLength >= -1);
    Check(!head.chunked || head.contentLength == -1);
    Check(!head.location ||
          (!head.location->empty() && head.location->size() <= kMaxLocationChars));
    Check(!head.rangeFirst || *head.rangeFirst >= 0);
}

// Decodes the input split in two blocks at a point the input chooses.
void CheckChunked(std::string_view input) {
    std::string body(input);
    const size_t split = body.empty() ? 0 : static_cast<unsigned char>(body[0]) % (body.size() + 1);
    ChunkedDecoder decoder;
    size_t content = 0;
    for (const auto& [start, size] :
         {std::pair{size_t(0), split}, std::pair{split, body.size() - split}}) {
        const ChunkedDecoder::Step step = decoder.Decode(body.data() + start, size);
        Check(step.content <= size);
        Check(step.leftover <= size - step.content);
        content += step.content;
        if (step.status != ChunkedDecoder::Status::NeedMore) break;
    }
    Check(content <= body.size());
}

void CheckUrl(std::string_view input) {
    const std::optional<HttpUrl> url = ParseHttpUrl(input);
    if (!url) return;
    Check(!url->host.empty() && url->port != 0);
    Check(url->target.starts_with('/'));
    for (char c : url->target) Check(static_cast<unsigned char>(c) > 0x20 && c != 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckHead(input);
    CheckChunked(input);
    CheckUrl(input);
    return 0;
}
