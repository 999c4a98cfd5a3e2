#include "update/HashingSink.h"

HashingSink::HashingSink(IBodySink& next, const platform::File& kept)
    : m_next(next), m_kept(kept) {}

bool HashingSink::Restart(int64_t offset) {
    if (!m_next.Restart(offset)) return false;
    m_hasher.Reset();
    m_hashedBytes = 0;
    if (offset > 0 && !HashFilePrefix(m_kept, offset, m_hasher)) return false;
    m_hashedBytes = offset;
    return true;
}

bool HashingSink::Write(const char* data, size_t size) {
    m_hasher.Update(data, size);
    m_hashedBytes += static_cast<int64_t>(size);
    return m_next.Write(data, size);
}

bool HashingSink::Finish() {
    return m_next.Finish();
}
