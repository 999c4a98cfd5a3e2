#include "tools/skin-gen/PalettePng.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr size_t kPaletteSize = 256;
constexpr int kRefinements = 8;

using Rgba = std::array<double, 4>;

std::vector<Rgba> StraightPixels(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<Rgba> pixels;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = row[x];
            const double a = (p >> 24) & 0xff;
            auto unpremultiply = [a](uint32_t c) { return a == 0 ? 0.0 : c * 255.0 / a; };
            pixels.push_back({unpremultiply((p >> 16) & 0xff), unpremultiply((p >> 8) & 0xff),
                              unpremultiply(p & 0xff), a});
        }
    }
    return pixels;
}

// Colour differences count as much as they are visible: scaled by opacity.
double Distance(const Rgba& a, const Rgba& b) {
    const double weight = std::max(a[3], b[3]) / 255.0;
    double sum = (a[3] - b[3]) * (a[3] - b[3]) * 2.0;
    for (int c = 0; c < 3; ++c) sum += (a[c] - b[c]) * (a[c] - b[c]) * weight;
    return sum;
}

// Median cut: split the box with the widest channel range until the palette
// is full.
std::vector<Rgba> MedianCut(std::vector<Rgba> colours, size_t count) {
    std::vector<std::pair<size_t, size_t>> boxes{{0, colours.size()}};
    auto widest = [&](std::pair<size_t, size_t> box, int& channel) {
        double best = -1;
        for (int c = 0; c < 4; ++c) {
            auto [lo, hi] =
                std::minmax_element(colours.begin() + box.first, colours.begin() + box.second,
                                    [c](const Rgba& a, const Rgba& b) { return a[c] < b[c]; });
            const double range = (*hi)[c] - (*lo)[c];
            if (range > best) best = range, channel = c;
        }
        return best;
    };
    while (boxes.size() < count) {
        size_t pick = boxes.size();
        int channel = 0;
        double best = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            int c = 0;
            const double range = widest(boxes[i], c);
            if (boxes[i].second - boxes[i].first > 1 && range > best)
                best = range, pick = i, channel = c;
        }
        if (pick == boxes.size()) break;
        auto [first, last] = boxes[pick];
        const size_t middle = (first + last) / 2;
        std::nth_element(
            colours.begin() + first, colours.begin() + middle, colours.begin() + last,
            [channel](const Rgba& a, const Rgba& b) { return a[channel] < b[channel]; });
        boxes[pick] = {first, middle};
        boxes.push_back({middle, last});
    }
    std::vector<Rgba> palette;
    for (auto [first, last] : boxes) {
        Rgba mean{0, 0, 0, 0};
        for (size_t i = first; i < last; ++i)
            for (int c = 0; c < 4; ++c) mean[c] += colours[i][c];
        for (double& c : mean) c /= static_cast<double>(last - first);
        palette.push_back(mean);
    }
    return palette;
}

size_t Nearest(const std::vector<Rgba>& palette, const Rgba& colour) {
    size_t best = 0;
    double bestDistance = std::numeric_limits<double>::max();
    for (size_t i = 0; i < palette.size(); ++i) {
        const double d = Distance(palette[i], colour);
        if (d < bestDistance) bestDistance = d, best = i;
    }
    return best;
}

// Index 0 is fully transparent; the rest come from the visible pixels.
std::vector<Rgba> BuildPalette(const std::vector<Rgba>& pixels) {
    std::vector<Rgba> visible;
    for (const Rgba& p : pixels)
        if (p[3] > 0) visible.push_back(p);
    std::vector<Rgba> palette{{0, 0, 0, 0}};
    if (visible.empty()) return palette;
    std::vector<Rgba> colours = MedianCut(visible, kPaletteSize - 1);
    for (int round = 0; round < kRefinements; ++round) {
        std::vector<Rgba> sums(colours.size(), Rgba{0, 0, 0, 0});
        std::vector<size_t> counts(colours.size(), 0);
        for (const Rgba& p : visible) {
            const size_t i = Nearest(colours, p);
            for (int c = 0; c < 4; ++c) sums[i][c] += p[c];
            ++counts[i];
        }
        for (size_t i = 0; i < colours.size(); ++i)
            if (counts[i] > 0)
                for (int c = 0; c < 4; ++c) colours[i][c] = sums[i][c] / counts[i];
    }
    palette.insert(palette.end(), colours.begin(), colours.end());
    return palette;
}

png_byte Channel(double value) {
    return static_cast<png_byte>(std::clamp(value + 0.5, 0.0, 255.0));
}

}  // namespace

bool WritePalettePng(cairo_surface_t* surface, const std::string& path) {
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const std::vector<Rgba> pixels = StraightPixels(surface);
    const std::vector<Rgba> palette = BuildPalette(pixels);

    std::vector<png_byte> indices(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i)
        indices[i] = static_cast<png_byte>(pixels[i][3] == 0 ? 0 : Nearest(palette, pixels[i]));

    std::vector<png_color> colours;
    std::vector<png_byte> alphas;
    for (const Rgba& entry : palette) {
        colours.push_back({Channel(entry[0]), Channel(entry[1]), Channel(entry[2])});
        alphas.push_back(Channel(entry[3]));
    }

    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, &indices[static_cast<size_t>(y) * width]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0;
}
