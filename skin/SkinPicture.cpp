#include "skin/SkinPicture.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "support/Mutex.h"

namespace {

// The pixels of the picture kept as PNG bytes that was decoded last, under
// its key.
class LastDecoded {
public:
    static LastDecoded& Instance() {
        // Never destroyed: pictures may be drawn while the process ends.
        static LastDecoded* const cache = new LastDecoded;
        return *cache;
    }

    static uint64_t NewKey() {
        static std::atomic<uint64_t> last{0};
        return ++last;
    }

    std::shared_ptr<const SkinPicture::Pixels> Find(uint64_t key) {
        MutexLock guard(m_lock);
        return key == m_key ? m_pixels : nullptr;
    }

    // The pixels it replaces are freed here unless someone still draws them.
    void Keep(uint64_t key, std::shared_ptr<const SkinPicture::Pixels> pixels) {
        MutexLock guard(m_lock);
        m_key = key;
        m_pixels.swap(pixels);
    }

private:
    Mutex m_lock;  // held by whichever thread looks up or keeps pixels
    uint64_t m_key GUARDED_BY(m_lock) = 0;
    std::shared_ptr<const SkinPicture::Pixels> m_pixels GUARDED_BY(m_lock);
};

// Feeds cairo's PNG reader from bytes.
struct PngReader {
    const unsigned char* data;
    size_t size;
    size_t offset = 0;

    static cairo_status_t Read(void* closure, unsigned char* out, unsigned int length) {
        auto* reader = static_cast<PngReader*>(closure);
        if (reader->size - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
        memcpy(out, reader->data + reader->offset, length);
        reader->offset += length;
        return CAIRO_STATUS_SUCCESS;
    }
};

// picture as ARGB32, converted when it has another format; a new reference.
cairo_surface_t* AsArgb32(cairo_surface_t* picture) {
    if (cairo_image_surface_get_format(picture) == CAIRO_FORMAT_ARGB32) {
        cairo_surface_flush(picture);
        return cairo_surface_reference(picture);
    }
    cairo_surface_t* converted =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(picture),
                                   cairo_image_surface_get_height(picture));
    cairo_t* cr = cairo_create(converted);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(converted);
    return converted;
}

}  // namespace

SkinPicture::Pixels::Pixels(cairo_surface_t* picture)
    : m_width(cairo_image_surface_get_width(picture)),
      m_height(cairo_image_surface_get_height(picture)) {
    cairo_surface_t* pixels = AsArgb32(picture);
    for (int top = 0; top < m_height; top += kPictureBandRows) {
        const int rows = std::min(kPictureBandRows, m_height - top);
        int left = m_width, right = 0;
        for (int y = top; y < top + rows; ++y) {
            const uint32_t* row = PixelRow(pixels, y);
            const uint32_t* first = std::find_if(row, row + m_width, [](uint32_t p) { return p; });
            if (first == row + m_width) continue;
            const auto last =
                std::find_if(std::make_reverse_iterator(row + m_width),
                             std::make_reverse_iterator(first), [](uint32_t p) { return p; });
            left = std::min(left, static_cast<int>(first - row));
            right = std::max(right, static_cast<int>(last.base() - row));
        }
        if (left >= right) {
            m_pieceOfBand.push_back(-1);
            continue;
        }
        Piece piece{left, top, right - left, rows, nullptr};
        piece.pixels = std::make_unique_for_overwrite<uint32_t[]>(piece.width * rows);
        for (int row = 0; row < rows; ++row) {
            memcpy(piece.pixels.get() + row * piece.width, PixelRow(pixels, top + row) + left,
                   static_cast<size_t>(piece.width) * 4);
        }
        m_pieceOfBand.push_back(static_cast<int>(m_pieces.size()));
        m_pieces.push_back(std::move(piece));
    }
    cairo_surface_destroy(pixels);
}

void SkinPicture::Pixels::ReadRow(int y, int x, int count, uint32_t* out) const {
    std::fill(out, out + count, 0u);
    if (y < 0 || y >= m_height) return;
    const int index = m_pieceOfBand[y / kPictureBandRows];
    if (index < 0) return;
    const Piece& piece = m_pieces[index];
    const int from = std::max(x, piece.x);
    const int to = std::min(x + count, piece.x + piece.width);
    if (from >= to) return;
    memcpy(out + (from - x), piece.pixels.get() + (y - piece.y) * piece.width + (from - piece.x),
           static_cast<size_t>(to - from) * 4);
}

void SkinPicture::Pixels::DrawOver(cairo_t* cr, int x, int y, int visibleWidth, int top,
                                   int bottom) const {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    for (const Piece& piece : m_pieces) {
        const int width = std::min(piece.width, visibleWidth - piece.x);
        if (width <= 0 || y + piece.y >= bottom || y + piece.y + piece.height <= top) continue;
        // cairo keeps unsynchronised state in a surface used as a source: each
        // use draws from a view of its own.
        cairo_surface_t* view = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(piece.pixels.get()), CAIRO_FORMAT_ARGB32, piece.width,
            piece.height, piece.width * 4);
        cairo_set_source_surface(cr, view, x + piece.x, y + piece.y);
        cairo_rectangle(cr, x + piece.x, y + piece.y, width, piece.height);
        cairo_fill(cr);
        cairo_surface_destroy(view);
    }
    cairo_restore(cr);
}

SkinPicture::SkinPicture(cairo_surface_t* picture)
    : m_width(cairo_image_surface_get_width(picture)),
      m_height(cairo_image_surface_get_height(picture)),
      m_kept(std::make_shared<const Pixels>(picture)) {}

SkinPicture::SkinPicture(GBytes* png, int width, int height)
    : m_width(width),
      m_height(height),
      m_png(g_bytes_ref(png)),
      m_cacheKey(LastDecoded::NewKey()) {}

std::shared_ptr<const SkinPicture::Pixels> SkinPicture::Decoded() const {
    if (m_kept) return m_kept;
    LastDecoded& cache = LastDecoded::Instance();
    if (auto pixels = cache.Find(m_cacheKey)) return pixels;
    cairo_surface_t* decoded = DecodePng(m_png.get());
    if (!decoded) return nullptr;
    auto pixels = std::make_shared<const Pixels>(decoded);
    cairo_surface_destroy(decoded);
    cache.Keep(m_cacheKey, pixels);
    return pixels;
}

void SkinPicture::ReadRow(int y, int x, int count, uint32_t* out) const {
    // The kept pixels are read without counting a reference: rows of the
    // globe are read by the thousand for every frame.
    if (m_kept) {
        m_kept->ReadRow(y, x, count, out);
    } else if (const auto pixels = Decoded()) {
        pixels->ReadRow(y, x, count, out);
    } else {
        std::fill(out, out + count, 0u);
    }
}

void SkinPicture::DrawOver(cairo_t* cr, int x, int y, int visibleWidth, int top, int bottom) const {
    if (m_kept) {
        m_kept->DrawOver(cr, x, y, visibleWidth, top, bottom);
    } else if (const auto pixels = Decoded()) {
        pixels->DrawOver(cr, x, y, visibleWidth, top, bottom);
    }
}

cairo_surface_t* DecodePng(GBytes* png) {
    gsize size = 0;
    const auto* data = static_cast<const unsigned char*>(g_bytes_get_data(png, &size));
    PngReader reader{data, size};
    cairo_surface_t* surface =
        cairo_image_surface_create_from_png_stream(&PngReader::Read, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

uint32_t* PixelRow(cairo_surface_t* surface, int y) {
    return reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface) +
                                       static_cast<size_t>(y) *
                                           cairo_image_surface_get_stride(surface));
}
