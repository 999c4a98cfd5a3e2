#pragma once

// Initialises libsodium once per process before its first use, so that it
// picks the fastest code for this processor. Safe from any thread.
void EnsureSodiumReady();
