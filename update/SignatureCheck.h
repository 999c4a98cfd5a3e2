// Whether a minisign signature file vouches for a package.
#pragma once

#include "update/PackageHasher.h"
#include "update/PackageKey.h"
#include "update/SignatureFile.h"
#include "update/SignatureVerdict.h"

// Checks the algorithm (prehashed only), then as minisign does: the key id,
// the signature over packageHash, and the global signature over the signature
// and the trusted comment. The first that fails gives the outcome; never
// Missing, TooLarge or Malformed.
SignatureVerdict CheckSignature(const PackageKey& key, const SignatureFile& file,
                                const PackageHash& packageHash);
