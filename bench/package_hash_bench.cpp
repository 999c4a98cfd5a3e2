// Cost of hashing a package while it downloads: BLAKE2b-512 fed in the
// 64 KiB blocks the download writes. Compare the rate with the link's speed.
#include <benchmark/benchmark.h>

#include <vector>

#include "update/PackageHasher.h"

namespace {

constexpr size_t kBlock = 65536;
constexpr size_t kBlocksPerRun = 256;  // 16 MiB

void BM_HashBlocks(benchmark::State& state) {
    const std::vector<uint8_t> block(kBlock, 0x5A);
    for (auto _ : state) {
        PackageHasher hasher;
        for (size_t i = 0; i < kBlocksPerRun; ++i) hasher.Update(block.data(), block.size());
        benchmark::DoNotOptimize(hasher.Digest());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * kBlocksPerRun * kBlock));
}
BENCHMARK(BM_HashBlocks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
