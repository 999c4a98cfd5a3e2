#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>

#include "platform/Files.h"
#include "platform/IPv4Address.h"
#include "platform/Transport.h"
#include "platform/posix/ConnectionBio.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// OpenSSL reads ahead into a buffer this large: one read from the connection
// takes several records, and the records already there cost no system call.
constexpr size_t kReadAheadBytes = 256 * 1024;

struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

// The reason of OpenSSL's latest error in its own words, or fallback when it
// has none. An alert the server sent is named as such.
std::string OpenSslReason(const char* fallback) {
    const unsigned long error = ERR_peek_last_error();
    const int reason = ERR_GET_REASON(error);
    if (ERR_GET_LIB(error) == ERR_LIB_SSL && reason > SSL_AD_REASON_OFFSET &&
        reason <= SSL_AD_REASON_OFFSET + 255) {
        return std::string("the server sent the alert \"") +
               SSL_alert_desc_string_long(reason - SSL_AD_REASON_OFFSET) + "\"";
    }
    const char* text = error != 0 ? ERR_reason_error_string(error) : nullptr;
    return text != nullptr ? text : fallback;
}

class TlsConnection final : public IConnection {
public:
    explicit TlsConnection(std::unique_ptr<IConnection> tcp)
        : m_tcp(std::move(tcp)), m_link(*m_tcp) {}

    ~TlsConnection() override {
        // close_notify tells the server the stream ends here rather than being
        // cut; nobody waits for its answer.
        if (m_ssl && SSL_is_init_finished(m_ssl.get())) {
            m_link.NoWaiting();
            SSL_shutdown(m_ssl.get());
        }
        ERR_clear_error();
    }

    // Runs the hand-shake with target's host name as the identity the
    // certificate must show: empty when it succeeded, else why not.
    std::string Open(SSL_CTX& context, const std::string& hostName, Clock::time_point deadline) {
        if (hostName.empty()) return "no host name to check the server's certificate against";
        m_ssl.reset(SSL_new(&context));
        BIO* bio = m_ssl ? m_link.NewBio() : nullptr;
        if (bio == nullptr) return "cannot set up TLS: " + OpenSslReason("out of memory");
        SSL_set_bio(m_ssl.get(), bio, bio);
        if (!ExpectIdentity(hostName)) {
            return "the host name \"" + hostName +
                   "\" cannot be checked: " + OpenSslReason("not a name");
        }
        m_link.WaitUntil(deadline);
        ERR_clear_error();
        const int result = SSL_connect(m_ssl.get());
        std::string failure;
        if (result != 1) failure = HandshakeFailure(SSL_get_error(m_ssl.get(), result), hostName);
        ERR_clear_error();
        return failure;
    }

    bool Send(const char* data, size_t size) override {
        if (size == 0) return true;
        // Sending never reads, so never waits for the server.
        m_link.NoWaiting();
        ERR_clear_error();
        size_t written = 0;
        // Without partial writes, success means all of data.
        const bool sent = SSL_write_ex(m_ssl.get(), data, size, &written) == 1;
        ERR_clear_error();
        return sent;
    }

    long Receive(char* buffer, size_t size, int timeoutMs) override {
        m_timedOut = false;
        m_link.WaitUntil(Clock::now() + std::chrono::milliseconds(timeoutMs));
        ERR_clear_error();
        size_t count = 0;
        const int result = SSL_read_ex(m_ssl.get(), buffer, size, &count);
        if (result != 1) return Unread(SSL_get_error(m_ssl.get(), result));
        // What else has come in whole records goes along, without waiting or
        // asking the connection: fewer, larger reads for the caller.
        m_link.NoWaiting();
        while (count < size) {
            size_t more = 0;
            const int further = SSL_read_ex(m_ssl.get(), buffer + count, size - count, &more);
            if (further != 1) {
                // The end or an error found here is told by the next Receive.
                if (SSL_get_error(m_ssl.get(), further) != SSL_ERROR_WANT_READ) m_usable = false;
                break;
            }
            count += more;
        }
        ERR_clear_error();
        return static_cast<long>(count);
    }

    // The bytes are decrypted here: they always pass through memory.
    long ReceiveInto(File&, size_t, int) override { return kCannotMove; }

    bool TimedOut() const override { return m_timedOut; }

    bool MayBeReused() override {
        return m_usable && SSL_has_pending(m_ssl.get()) == 0 && m_tcp->MayBeReused();
    }

private:
    bool ExpectIdentity(const std::string& hostName) {
        X509_VERIFY_PARAM* identity = SSL_get0_param(m_ssl.get());
        X509_VERIFY_PARAM_set_hostflags(
            identity, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
        // An address is checked as one and, being no name, not sent as one.
        if (ParseDottedIPv4(hostName)) {
            return X509_VERIFY_PARAM_set1_ip_asc(identity, hostName.c_str()) == 1;
        }
        return X509_VERIFY_PARAM_set1_host(identity, hostName.data(), hostName.size()) == 1 &&
               SSL_set_tlsext_host_name(m_ssl.get(), hostName.c_str()) == 1;
    }

    std::string HandshakeFailure(int error, const std::string& hostName) const {
        if (error == SSL_ERROR_WANT_READ && m_link.TimedOut()) return "hand-shake timed out";
        const long verified = SSL_get_verify_result(m_ssl.get());
        if (verified != X509_V_OK) {
            std::string reason = std::string("certificate verify failed: ") +
                                 X509_verify_cert_error_string(verified);
            if (verified == X509_V_ERR_HOSTNAME_MISMATCH ||
                verified == X509_V_ERR_IP_ADDRESS_MISMATCH) {
                reason += " (the certificate is not for " + hostName + ")";
            }
            return reason;
        }
        if (m_link.Ended()) return "the server closed the connection during the hand-shake";
        if (error == SSL_ERROR_SYSCALL && m_link.Error() != 0) {
            return "hand-shake failed: " + SystemErrorText(m_link.Error());
        }
        return "hand-shake failed: " + OpenSslReason("unknown error");
    }

    // The result of a Receive whose read failed.
    long Unread(int error) {
        ERR_clear_error();
        m_usable = false;
        if (error == SSL_ERROR_WANT_READ && m_link.TimedOut()) {
            m_timedOut = true;
            errno = ETIMEDOUT;
            return -1;
        }
        if (error == SSL_ERROR_ZERO_RETURN) return 0;
        // Without close_notify a close between records still ends the stream:
        // many servers close so. One inside a record has cut it.
        if (m_link.Ended() && m_link.BetweenRecords()) return 0;
        errno = m_link.Error() != 0 ? m_link.Error() : EPROTO;
        return -1;
    }

    // All fields belong to the thread that uses the connection. The order
    // matters: the TLS session goes first, then the link, then what it uses.
    std::unique_ptr<IConnection> m_tcp;
    ConnectionBio m_link;
    std::unique_ptr<SSL, SslFree> m_ssl;
    bool m_timedOut = false;
    bool m_usable = true;  // until a read has failed or found the end
};

class Tls final : public ITransport {
public:
    explicit Tls(const TlsSettings& settings) : m_context(SSL_CTX_new(TLS_client_method())) {
        if (!m_context) {
            m_problem = "cannot set up TLS: " + OpenSslReason("out of memory");
            return;
        }
        SSL_CTX* context = m_context.get();
        SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        // A download has no use for renegotiation, and refusing it keeps
        // reads to reading.
        SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
        SSL_CTX_set_read_ahead(context, 1);
        SSL_CTX_set_default_read_buffer_len(context, kReadAheadBytes);
        // The default paths follow SSL_CERT_FILE and SSL_CERT_DIR, as in
        // every other OpenSSL program.
        const bool trusted =
            settings.caFile.empty()
                ? SSL_CTX_set_default_verify_paths(context) == 1
                : SSL_CTX_load_verify_locations(context, settings.caFile.c_str(), nullptr) == 1;
        if (!trusted) {
            m_problem = "cannot read the trusted certificates" +
                        (settings.caFile.empty() ? std::string() : " of " + settings.caFile) +
                        ": " + OpenSslReason("unknown error");
        }
        ERR_clear_error();
    }

    std::unique_ptr<IConnection> Connect(const ConnectTarget& target, const ConnectTimes& times,
                                         ConnectFailure& failure) override {
        const auto deadline = Clock::now() + std::chrono::milliseconds(times.connectMs);
        if (!m_problem.empty()) {
            failure = ConnectFailure{ConnectStep::Secure, m_problem};
            return nullptr;
        }
        std::unique_ptr<IConnection> tcp = m_tcp->Connect(target, times, failure);
        if (!tcp) return nullptr;
        auto connection = std::make_unique<TlsConnection>(std::move(tcp));
        std::string reason = connection->Open(*m_context, target.hostName, deadline);
        if (!reason.empty()) {
            failure = ConnectFailure{ConnectStep::Secure, std::move(reason)};
            return nullptr;
        }
        return connection;
    }

private:
    // Set up once and only read after, by any thread: OpenSSL shares a
    // context between connections safely.
    std::unique_ptr<SSL_CTX, SslContextFree> m_context;
    std::string m_problem;  // why no connection can be made; empty when they can
    std::unique_ptr<ITransport> m_tcp = TcpTransport();
};

}  // namespace

std::unique_ptr<ITransport> TlsTransport(const TlsSettings& settings) {
    // Once per process whoever calls first; OpenSSL makes it thread-safe.
    OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    return std::make_unique<Tls>(settings);
}

}  // namespace platform
