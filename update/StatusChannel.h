// The window's status members and their three setters, callable from any
// thread. Each setter holds m_lock while it changes a value and while the
// redraw it asks for runs, so a redraw always sees consistent texts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "support/vnMutex.h"

struct StatusSnapshot {
    int32_t percent = 0;
    std::string status;
    std::string detail;
    std::string size;
};

class StatusChannel {
public:
    // Called with m_lock held and the current values; must not wait for the
    // window thread.
    using Redraw = std::function<void(const StatusSnapshot&)>;

    void SetRedraw(Redraw redraw);
    void SetProgress(int percent);
    void SetStatusText(const std::string& status, const std::string& detail, bool redraw);
    void SetSizeText(const std::string& size, bool redraw);
    StatusSnapshot Snapshot();
    // The window's lock; the hand-over holds it too so that it never
    // interleaves with a redraw.
    vnMutex& Lock() RETURN_CAPABILITY(m_lock) { return m_lock; }

private:
    void RedrawLocked() REQUIRES(m_lock);

    // The window's lock. A worker's own lock, when both are held, is always
    // taken first.
    vnMutex m_lock;
    // Written only under m_lock; SetProgress compares it without the lock, as
    // only the worker thread changes it.
    std::atomic<int32_t> m_nPercent{0};
    std::string m_strStatus GUARDED_BY(m_lock);
    std::string m_strDetail GUARDED_BY(m_lock);
    std::string m_strSize GUARDED_BY(m_lock);
    Redraw m_redraw;  // set before any worker exists
};
