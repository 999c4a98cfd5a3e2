// Removes the chunked transfer coding from a body, block by block as the
// bytes arrive, so that only the content reaches the output file.
#pragma once

#include <cstddef>
#include <cstdint>

class ChunkedDecoder {
public:
    enum class Status {
        NeedMore,   // the body goes on
        Done,       // the last chunk and the trailer have been read
        Malformed,  // the framing is broken; nothing after it can be trusted
    };

    struct Step {
        Status status = Status::NeedMore;
        size_t content = 0;   // content bytes now at the front of the block
        size_t leftover = 0;  // bytes after the end of the body (Done only)
    };

    // Decodes a block in place: the content it holds is moved to its front.
    // Call again with the next block while the status is NeedMore.
    Step Decode(char* block, size_t size);

private:
    enum class State {
        SizeFirstDigit,
        SizeDigits,
        SizeBlanks,
        Extension,
        SizeLineFeed,
        Data,
        DataCarriageReturn,
        DataLineFeed,
        TrailerLineStart,
        TrailerLine,
        TrailerLineFeed,
        LastLineFeed,
        Done,
        Malformed,
    };

    // Consumes one framing byte; returns the next state.
    State ConsumeFraming(char c);

    State m_state = State::SizeFirstDigit;  // owned by the one thread that decodes
    uint64_t m_remaining = 0;               // content bytes left in the current chunk
    size_t m_sizeDigits = 0;                // hex digits of the current size line
    size_t m_lineBytes = 0;                 // bytes of the current chunk extension
    size_t m_trailerBytes = 0;              // bytes of the whole trailer
};
