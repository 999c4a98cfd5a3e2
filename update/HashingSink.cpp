#include "update/HashingSink.h"

HashingSink::HashingSink(IBodySink& next, std::string path)
    : m_next(next), m_path(std::move(path)) {}

bool HashingSink::Restart(int64_t offset) {
    if (!m_next.Restart(offset)) return false;
    m_hasher.Reset();
    return offset == 0 || HashFilePrefix(m_path, offset, m_hasher);
}

bool HashingSink::Write(const char* data, size_t size) {
    m_hasher.Update(data, size);
    return m_next.Write(data, size);
}

bool HashingSink::Finish() {
    return m_next.Finish();
}
