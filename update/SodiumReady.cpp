#include "update/SodiumReady.h"

#include <sodium.h>

void EnsureSodiumReady() {
    // sodium_init fails only without a random source, which hashing and
    // verifying do not use, so its result changes nothing here.
    [[maybe_unused]] static const int initialised = sodium_init();
}
