#include "update/PackageCheck.h"

#include <cerrno>

#include "update/SignatureCheck.h"
#include "update/SignatureFile.h"

namespace {

// A small body kept in memory, refused beyond its capacity.
class TextSink final : public IBodySink {
public:
    explicit TextSink(size_t capacity) : m_capacity(capacity) {}

    bool Restart(int64_t offset) override {
        m_text.resize(static_cast<size_t>(offset) <= m_text.size() ? size_t(offset) : 0);
        return true;
    }
    bool Write(const char* data, size_t size) override {
        if (m_text.size() + size > m_capacity) {
            m_overflowed = true;
            errno = EFBIG;
            return false;
        }
        m_text.append(data, size);
        return true;
    }
    bool Finish() override { return true; }
    int64_t Capacity() const override { return static_cast<int64_t>(m_capacity); }

    const std::string& Text() const { return m_text; }
    bool Overflowed() const { return m_overflowed; }

private:
    const size_t m_capacity;
    std::string m_text;
    bool m_overflowed = false;
};

}  // namespace

SignatureVerdict FetchAndCheckSignature(CHttpSocket& client, const std::string& packageUrl,
                                        const std::string& address, const PackageKey& key,
                                        const PackageHash& packageHash) {
    TextSink signature(kMaxSignatureFileBytes);
    const HttpResult result = client.RequestSmallFile(packageUrl + ".minisig", address, &signature);
    const bool announcedTooLong =
        client.LastStatus() == 200 && client.LastContentLength() > signature.Capacity();
    if (signature.Overflowed() || announcedTooLong) {
        return SignatureVerdict(SignatureOutcome::TooLarge);
    }
    if (result != HttpResult::Ok || client.LastStatus() != 200) {
        return SignatureVerdict(SignatureOutcome::Missing);
    }
    const std::optional<SignatureFile> file = ParseSignatureFile(signature.Text());
    if (!file) return SignatureVerdict(SignatureOutcome::Malformed);
    return CheckSignature(key, *file, packageHash);
}
