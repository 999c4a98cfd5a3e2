// Certificates for TLS tests, made with the openssl tool in a temporary folder
// the first time a test asks: a test CA to trust, and server certificates
// named by what a client that trusts only that CA must make of them.
#pragma once

#include <string>
#include <vector>

// What a TLS server needs: the file it sends (its certificate, then the chain
// above it) and its private key.
struct ServerCertificate {
    std::string certificate;
    std::string key;
};

// Every server certificate has an EC P-256 key and, unless told, the names
// DNS:localhost and IP:127.0.0.1.
struct TestCertificateSet {
    std::string caFile;            // the test CA's certificate: the one a client trusts
    ServerCertificate good;        // issued by the test CA, valid now
    ServerCertificate wrongHost;   // issued by the test CA for wrong-host.invalid alone
    ServerCertificate expired;     // issued by the test CA, valid only in January 2020
    ServerCertificate untrusted;   // issued by another CA, which the server sends too
    ServerCertificate selfSigned;  // its own issuer
};

// Made once per test process and shared by its tests (removed when the
// process ends); throws with openssl's words when they cannot be made.
const TestCertificateSet& TestCertificates();

// A certificate a client that trusts the test CA must refuse for 127.0.0.1,
// and the words OpenSSL gives for it.
struct RefusedCertificate {
    const char* name;
    const ServerCertificate& certificate;
    const char* reason;
};
// Every certificate of the set but the good one.
std::vector<RefusedCertificate> RefusedCertificates();
