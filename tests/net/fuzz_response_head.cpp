// Fuzz target: a response head and a chunked body as a server might send them.
// The same bytes are read both ways.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/ChunkedDecoder.h"
#include "net/ResponseHead.h"
#include "tests/support/FuzzCheck.h"

namespace {

void CheckHead(std::string_view input) {
    const ResponseHead head = ParseResponseHead(input);
    if (head.problem == HeadProblem::TooLong) FUZZ_CHECK(input.size() > kMaxHeadBytes);
    if (head.problem != HeadProblem::TooLong && head.problem != HeadProblem::BadStatusLine) {
        FUZZ_CHECK(input.starts_with("HTTP/"));
        FUZZ_CHECK(head.status >= 100 && head.status <= 999);
    }
    FUZZ_CHECK(head.contentLength >= -1);
    FUZZ_CHECK(!head.chunked || head.contentLength == -1);
    // The Location is taken from the head as it stands, never made up.
    FUZZ_CHECK(!head.location ||
               (!head.location->empty() && head.location->size() <= kMaxLocationChars &&
                input.find(*head.location) != std::string_view::npos));
    FUZZ_CHECK(!head.rangeFirst || *head.rangeFirst >= 0);
}

struct Decoded {
    std::string content;
    ChunkedDecoder::Status status = ChunkedDecoder::Status::NeedMore;
    size_t leftover = 0;  // Done only: bytes after the body, fed or not
};

// Decodes the body in the blocks given by the split points.
Decoded DecodeInBlocks(std::string_view body, std::initializer_list<size_t> ends) {
    std::string buffer(body);
    ChunkedDecoder decoder;
    Decoded decoded;
    size_t start = 0;
    for (const size_t end : ends) {
        const size_t size = end - start;
        const ChunkedDecoder::Step step = decoder.Decode(buffer.data() + start, size);
        FUZZ_CHECK(step.content <= size);
        FUZZ_CHECK(step.leftover <= size - step.content);
        decoded.content.append(buffer.data() + start, step.content);
        decoded.status = step.status;
        start = end;
        if (step.status == ChunkedDecoder::Status::Done) {
            decoded.leftover = step.leftover + (body.size() - end);
        }
        if (step.status != ChunkedDecoder::Status::NeedMore) break;
    }
    return decoded;
}

// However the bytes arrive, the decoder yields the same content and outcome,
// and never more content than it was given.
void CheckChunked(std::string_view body) {
    const Decoded whole = DecodeInBlocks(body, {body.size()});
    const size_t split = body.empty() ? 0 : static_cast<unsigned char>(body[0]) % (body.size() + 1);
    const Decoded halves = DecodeInBlocks(body, {split, body.size()});
    FUZZ_CHECK(whole.content.size() <= body.size());
    FUZZ_CHECK(halves.content == whole.content);
    FUZZ_CHECK(halves.status == whole.status);
    FUZZ_CHECK(halves.leftover == whole.leftover);
    if (whole.status == ChunkedDecoder::Status::Done) {
        // At least "0\r\n\r\n" of framing ends the body.
        FUZZ_CHECK(whole.content.size() + whole.leftover + 5 <= body.size());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckHead(input);
    CheckChunked(input);
    return 0;
}
