#include "net/ChunkedDecoder.h"

#include <algorithm>
#include <cstring>

#include "net/HttpCharacters.h"

namespace {

// 15 hex digits keep a chunk size below 2^60, far from any overflow.
constexpr size_t kMaxSizeDigits = 15;
constexpr size_t kMaxExtensionBytes = 1024;
constexpr size_t kMaxTrailerBytes = 8192;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

ChunkedDecoder::Step ChunkedDecoder::Decode(char* block, size_t size) {
    Step step;
    size_t read = 0;
    while (read < size && m_state != State::Done && m_state != State::Malformed) {
        if (m_state == State::Data) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(m_remaining, size - read));
            std::memmove(block + step.content, block + read, take);
            step.content += take;
            read += take;
            m_remaining -= take;
            if (m_remaining == 0) m_state = State::DataCarriageReturn;
        } else {
            m_state = ConsumeFraming(block[read++]);
        }
    }
    if (m_state == State::Done) {
        step.status = Status::Done;
        step.leftover = size - read;
    } else if (m_state == State::Malformed) {
        step.status = Status::Malformed;
    }
    return step;
}

ChunkedDecoder::State ChunkedDecoder::ConsumeFraming(char c) {
    switch (m_state) {
        case State::SizeFirstDigit:
        case State::SizeDigits: {
            const int digit = HexValue(c);
            if (digit >= 0) {
                if (++m_sizeDigits > kMaxSizeDigits) return State::Malformed;
                m_remaining = m_remaining * 16 + uint64_t(digit);
                return State::SizeDigits;
            }
            if (m_state == State::SizeFirstDigit) return State::Malformed;
            [[fallthrough]];
        }
        case State::SizeBlanks:
            if (IsBlank(c)) return State::SizeBlanks;
            if (c == ';') {
                m_lineBytes = 0;
                return State::Extension;
            }
            return c == '\r' ? State::SizeLineFeed : State::Malformed;
        case State::Extension:
            if (c == '\r') return State::SizeLineFeed;
            return ++m_lineBytes > kMaxExtensionBytes ? State::Malformed : State::Extension;
        case State::SizeLineFeed:
            if (c != '\n') return State::Malformed;
            m_sizeDigits = 0;
            if (m_remaining == 0) return State::TrailerLineStart;
            return State::Data;
        case State::DataCarriageReturn:
            return c == '\r' ? State::DataLineFeed : State::Malformed;
        case State::DataLineFeed:
            return c == '\n' ? State::SizeFirstDigit : State::Malformed;
        case State::TrailerLineStart:
            if (c == '\r') return State::LastLineFeed;
            [[fallthrough]];
        case State::TrailerLine:
            if (++m_trailerBytes > kMaxTrailerBytes) return State::Malformed;
            return c == '\r' ? State::TrailerLineFeed : State::TrailerLine;
        case State::TrailerLineFeed:
            return c == '\n' ? State::TrailerLineStart : State::Malformed;
        case State::LastLineFeed:
            return c == '\n' ? State::Done : State::Malformed;
        case State::Data:
        case State::Done:
        case State::Malformed:
            break;
    }
    return State::Malformed;
}
