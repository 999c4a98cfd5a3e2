// Cost of composing the globe window, against a plain copy of a frame of the
// same size: one whole composition, keeping a whole frame as the tiles where
// it differs from the globe, composing those tiles band by band as the
// launcher does, and one progress report from the setter's call to the
// published frame, as the window keeps it.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "skin/FramePatches.h"
#include "skin/RenderSkin.h"
#include "skin/SkinLayout.h"
#include "update/StatusChannel.h"

namespace {

const FrameState kDownloading{37, "正在下载游戏", "", "123.45MB/1.20GB"};

const SkinImages& Pictures() {
    static const int window = 0;
    static const bool loaded = (LoadSkinImages(&window), true);
    (void)loaded;
    return SkinImagesTable();
}

void BM_ComposeFrame(benchmark::State& state) {
    const SkinImages& images = Pictures();
    const SkinFont font = SelectSkinFont(0);
    for (auto _ : state) {
        cairo_surface_t* frame = RenderSkin(images, font, kDownloading);
        benchmark::DoNotOptimize(frame);
        cairo_surface_destroy(frame);
    }
}
BENCHMARK(BM_ComposeFrame)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();

// The window keeping a frame: the tiles where it differs from the globe.
void BM_KeepFramePatches(benchmark::State& state) {
    const SkinImages& images = Pictures();
    cairo_surface_t* frame = RenderSkin(images, SelectSkinFont(0), kDownloading);
    for (auto _ : state) {
        FramePatches patches(kSkinWidth, kSkinHeight, images.slots[kGlobeSlot]);
        patches.Add(frame, 0);
        benchmark::DoNotOptimize(patches.Tiles().data());
    }
    cairo_surface_destroy(frame);
}
BENCHMARK(BM_KeepFramePatches)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

void BM_ComposeFramePatches(benchmark::State& state) {
    const SkinImages& images = Pictures();
    const SkinFont font = SelectSkinFont(0);
    for (auto _ : state) {
        std::unique_ptr<FramePatches> patches = RenderSkinPatches(images, font, kDownloading);
        benchmark::DoNotOptimize(patches->Tiles().data());
    }
}
BENCHMARK(BM_ComposeFramePatches)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

// The window's side: the latest frame behind a small lock.
class PublishedFrame {
public:
    void Publish(std::shared_ptr<const FramePatches> frame) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_frame.swap(frame);
    }

private:
    std::mutex m_lock;  // held by the publisher and the painter for a pointer swap
    std::shared_ptr<const FramePatches> m_frame;  // guarded by m_lock
};

void BM_SetProgressToPublishedFrame(benchmark::State& state) {
    const SkinImages& images = Pictures();
    const SkinFont font = SelectSkinFont(0);
    PublishedFrame published;
    StatusChannel channel;
    channel.SetStatusText(kDownloading.status, kDownloading.detail, false);
    channel.SetSizeText(kDownloading.size, false);
    channel.SetRedraw([&](const StatusSnapshot& shown) {
        published.Publish(RenderSkinPatches(
            images, font, FrameState{shown.percent, shown.status, shown.detail, shown.size}));
    });
    int percent = 37;
    for (auto _ : state) {
        percent = percent == 37 ? 38 : 37;  // an unchanged percentage is not redrawn
        channel.SetProgress(percent);
    }
}
BENCHMARK(BM_SetProgressToPublishedFrame)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

void BM_CopyFrame(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(kSkinWidth) * kSkinHeight * 4;
    std::vector<unsigned char> source(bytes, 0x5a), target(bytes);
    for (auto _ : state) {
        memcpy(target.data(), source.data(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyFrame)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
