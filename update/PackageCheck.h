// The check of a downloaded package against the minisign signature served
// beside it: the file the package's URL names followed by ".minisig", asked
// of the same server through the same client.
#pragma once

#include <string>

#include "net/HttpSocket.h"
#include "update/PackageHasher.h"
#include "update/PackageKey.h"
#include "update/SignatureVerdict.h"

// Fetches packageUrl + ".minisig" (address as for the package: empty to look
// the host up) and checks it against key and the package's hash. Missing for
// any answer but a 200, TooLarge past kMaxSignatureFileBytes (no further byte
// is read), Malformed for text that is not a signature file.
SignatureVerdict FetchAndCheckSignature(CHttpSocket& client, const std::string& packageUrl,
                                        const std::string& address, const PackageKey& key,
                                        const PackageHash& packageHash);
