#include "tests/support/TestCertificates.h"

#include <stdexcept>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/ToolRun.h"

namespace {

constexpr const char* kGoodNames = "DNS:localhost,IP:127.0.0.1";
constexpr const char* kValidDays = "30";

// What a server certificate's file holds besides the certificate itself.
enum class Chain { None, Issuer };

// What `openssl req` and `openssl ca` read, less the issuer's files, which
// end its last section: the extensions of a CA and of a server certificate,
// and an issuer that keeps the names the request asks for. `openssl ca` is
// the one way OpenSSL 3.0 sets a start date in the past.
constexpr const char* kOpenSslConfig = R"(
[req]
distinguished_name = request_name
[request_name]
[ca_certificate]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server_certificate]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[any_name]
commonName = supplied
[ca]
default_ca = issuer
[issuer]
rand_serial = yes
unique_subject = no
default_md = sha256
policy = any_name
copy_extensions = copy
x509_extensions = server_certificate
)";

// Runs openssl with the set's configuration.
class CertificateMaker {
public:
    explicit CertificateMaker(const TempDir& folder) : m_folder(folder) {
        WriteFile(m_config, std::string(kOpenSslConfig) + "database = " + (folder / "issued.txt") +
                                "\nnew_certs_dir = " + folder.Path() + "\n");
        WriteFile(folder / "issued.txt", "");
    }

    // A certificate that signs itself: a CA's, or a server's when names are
    // given.
    ServerCertificate SelfSigned(const std::string& name, const std::string& names = "") {
        const ServerCertificate made = Files(name);
        std::vector<std::string> command = NewKey(name, made.key);
        command.insert(command.end(), {"-x509", "-days", kValidDays, "-out", made.certificate});
        if (names.empty()) {
            command.insert(command.end(), {"-extensions", "ca_certificate"});
        } else {
            command.insert(command.end(), {"-extensions", "server_certificate", "-addext",
                                           "subjectAltName=" + names});
        }
        Run(command);
        return made;
    }

    // A server certificate issued by issuer for names; validity is `openssl
    // ca` options.
    ServerCertificate Issued(const std::string& name, const ServerCertificate& issuer,
                             const std::string& names, const std::vector<std::string>& validity,
                             Chain chain = Chain::None) {
        const ServerCertificate made = Files(name);
        const std::string request = m_folder / (name + ".csr");
        std::vector<std::string> command = NewKey(name, made.key);
        command.insert(command.end(),
                       {"-new", "-out", request, "-addext", "subjectAltName=" + names});
        Run(command);
        command = {"openssl", "ca", "-batch", "-notext", "-config", m_config, "-in", request};
        command.insert(command.end(), {"-cert", issuer.certificate, "-keyfile", issuer.key});
        command.insert(command.end(), validity.begin(), validity.end());
        command.insert(command.end(), {"-out", made.certificate});
        Run(command);
        if (chain == Chain::Issuer) {
            WriteFile(made.certificate, ReadFile(made.certificate) + ReadFile(issuer.certificate));
        }
        return made;
    }

private:
    // `openssl req` making a fresh EC P-256 key into keyFile, for a subject
    // of that name; the rest of the command follows.
    std::vector<std::string> NewKey(const std::string& name, const std::string& keyFile) const {
        std::vector<std::string> command{"openssl", "req", "-config", m_config, "-noenc"};
        command.insert(command.end(), {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256"});
        command.insert(command.end(), {"-keyout", keyFile, "-subj", "/CN=" + name});
        return command;
    }

    ServerCertificate Files(const std::string& name) const {
        return {m_folder / (name + ".crt"), m_folder / (name + ".key")};
    }

    static void Run(const std::vector<std::string>& command) {
        const ToolRun run = RunTool(command);
        if (run.exitCode != 0) {
            throw std::runtime_error("openssl " + command[1] + " failed: " + run.output);
        }
    }

    const TempDir& m_folder;
    const std::string m_config = m_folder / "openssl.cnf";
};

// The files and the folder that holds them, which goes with them.
struct MadeCertificates {
    TempDir folder;
    TestCertificateSet set;

    MadeCertificates() {
        CertificateMaker maker(folder);
        const std::vector<std::string> validNow{"-days", kValidDays};
        const ServerCertificate testCa = maker.SelfSigned("test-ca");
        const ServerCertificate otherCa = maker.SelfSigned("other-ca");
        set.caFile = testCa.certificate;
        set.good = maker.Issued("good", testCa, kGoodNames, validNow);
        set.wrongHost = maker.Issued("wrong-host", testCa, "DNS:wrong-host.invalid", validNow);
        set.expired =
            maker.Issued("expired", testCa, kGoodNames,
                         {"-startdate", "20200101000000Z", "-enddate", "20200201000000Z"});
        set.untrusted = maker.Issued("untrusted", otherCa, kGoodNames, validNow, Chain::Issuer);
        set.selfSigned = maker.SelfSigned("self-signed", kGoodNames);
    }
};

}  // namespace

const TestCertificateSet& TestCertificates() {
    // Made by the first caller; the language guards the start of a static.
    static const MadeCertificates made;
    return made.set;
}

std::vector<RefusedCertificate> RefusedCertificates() {
    const TestCertificateSet& set = TestCertificates();
    return {
        {"wrong host", set.wrongHost, "IP address mismatch"},
        {"expired", set.expired, "certificate has expired"},
        {"unknown issuer", set.untrusted, "self-signed certificate in certificate chain"},
        {"self-signed", set.selfSigned, "self-signed certificate"},
    };
}
