#include "tools/skin-gen/Canvas.h"

#include <cstdint>

Canvas::Canvas(int width, int height, int scale)
    : m_width(width),
      m_height(height),
      m_scale(scale),
      m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale)),
      m_cr(cairo_create(m_surface)) {
    cairo_scale(m_cr, scale, scale);
}

Canvas::~Canvas() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
}

cairo_surface_t* Canvas::Reduce() const {
    cairo_surface_flush(m_surface);
    const auto* big = cairo_image_surface_get_data(m_surface);
    const int bigStride = cairo_image_surface_get_stride(m_surface);
    cairo_surface_t* small = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, m_width, m_height);
    auto* out = cairo_image_surface_get_data(small);
    const int outStride = cairo_image_surface_get_stride(small);
    const uint32_t samples = static_cast<uint32_t>(m_scale * m_scale);
    // Premultiplied pixels average correctly channel by channel.
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            uint32_t sum[4] = {0, 0, 0, 0};
            for (int sy = 0; sy < m_scale; ++sy) {
                const auto* row =
                    reinterpret_cast<const uint32_t*>(big + (y * m_scale + sy) * bigStride);
                for (int sx = 0; sx < m_scale; ++sx) {
                    const uint32_t pixel = row[x * m_scale + sx];
                    for (int c = 0; c < 4; ++c) sum[c] += (pixel >> (8 * c)) & 0xff;
                }
            }
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) pixel |= ((sum[c] + samples / 2) / samples) << (8 * c);
            reinterpret_cast<uint32_t*>(out + y * outStride)[x] = pixel;
        }
    }
    cairo_surface_mark_dirty(small);
    return small;
}
