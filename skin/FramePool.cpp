#include "skin/FramePool.h"

#include <cstring>
#include <vector>

#include "skin/SkinLayout.h"
#include "support/Mutex.h"

namespace {

class FramePool {
public:
    // Never destroyed: a frame may still be let go of while the process ends.
    static FramePool& Instance() {
        static FramePool* const pool = new FramePool;
        return *pool;
    }

    unsigned char* Take() {
        {
            MutexLock guard(m_lock);
            if (!m_free.empty()) {
                unsigned char* buffer = m_free.back();
                m_free.pop_back();
                return buffer;
            }
        }
        return new unsigned char[FrameBytes()];
    }

    void Give(unsigned char* buffer) {
        MutexLock guard(m_lock);
        m_free.push_back(buffer);
    }

    static int Stride() { return cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, kSkinWidth); }
    static size_t FrameBytes() { return static_cast<size_t>(Stride()) * kSkinHeight; }

private:
    Mutex m_lock;  // held by whichever thread takes or gives back a buffer
    std::vector<unsigned char*> m_free GUARDED_BY(m_lock);
};

const cairo_user_data_key_t kPooledBuffer{};

void GiveBack(void* buffer) {
    FramePool::Instance().Give(static_cast<unsigned char*>(buffer));
}

}  // namespace

cairo_surface_t* NewFrameSurface() {
    FramePool& pool = FramePool::Instance();
    unsigned char* buffer = pool.Take();
    memset(buffer, 0, FramePool::FrameBytes());
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        buffer, CAIRO_FORMAT_ARGB32, kSkinWidth, kSkinHeight, FramePool::Stride());
    if (cairo_surface_set_user_data(surface, &kPooledBuffer, buffer, GiveBack) !=
        CAIRO_STATUS_SUCCESS) {
        pool.Give(buffer);
    }
    return surface;
}
