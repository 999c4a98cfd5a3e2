#include "update/StatusChannel.h"

void StatusChannel::SetRedraw(Redraw redraw) {
    m_redraw = std::move(redraw);
}

void StatusChannel::RedrawLocked() {
    if (!m_redraw) return;
    m_redraw(StatusSnapshot{m_nPercent.load(), m_strStatus, m_strDetail, m_strSize});
}

void StatusChannel::SetProgress(int percent) {
    if (percent == m_nPercent.load(std::memory_order_relaxed)) return;
    vnAutoLock lock(&m_lock);
    m_nPercent = percent;
    RedrawLocked();
}

void StatusChannel::SetStatusText(const std::string& status, const std::string& detail,
                                  bool redraw) {
    vnAutoLock lock(&m_lock);
    m_strStatus = status;
    m_strDetail = detail;
    if (redraw) RedrawLocked();
}

void StatusChannel::SetSizeText(const std::string& size, bool redraw) {
    vnAutoLock lock(&m_lock);
    m_strSize = size;
    if (redraw) RedrawLocked();
}

StatusSnapshot StatusChannel::Snapshot() {
    vnAutoLock lock(&m_lock);
    return StatusSnapshot{m_nPercent.load(), m_strStatus, m_strDetail, m_strSize};
}
