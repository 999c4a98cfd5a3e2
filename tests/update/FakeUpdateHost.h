// The controller as the worker sees it, recording what the worker tells it:
// messages, redraws of the status channel and hand-overs.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/Clock.h"
#include "update/UpdateHost.h"

class FakeUpdateHost : public IUpdateHost {
public:
    struct Message {
        std::string text;
        platform::MessageIcon icon;
    };

    FakeUpdateHost() {
        m_status.SetRedraw([this](const StatusSnapshot& shown) {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_redraws.push_back(shown);
            m_redrawTicks.push_back(redrawClock());
        });
    }

    LaunchConfig config;
    int32_t debugLaunch = 0;
    // Read at every redraw; set before the worker starts.
    std::function<uint32_t()> redrawClock = [] { return SystemClock().TickMs(); };

    LaunchConfig& Config() override { return config; }
    int32_t DebugLaunch() const override { return debugLaunch; }
    StatusChannel& Status() override { return m_status; }
    void Finish(bool failed) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_finishes.push_back(failed);
        m_changed.notify_all();
    }
    void ShowMessage(const std::string& text, platform::MessageIcon icon) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_messages.push_back(Message{text, icon});
    }
    void PackagePlaced(const PlacedPackage& package) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_placed.push_back(package);
    }

    // Waits until the worker has handed over; false when it did not in time.
    bool WaitForFinish(std::chrono::seconds timeout = std::chrono::seconds(60)) {
        std::unique_lock<std::mutex> guard(m_mutex);
        return m_changed.wait_for(guard, timeout, [this] { return !m_finishes.empty(); });
    }

    std::vector<bool> Finishes() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_finishes;
    }
    std::vector<Message> Messages() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_messages;
    }
    std::vector<std::string> MessageTexts() {
        std::vector<std::string> texts;
        for (const Message& message : Messages()) texts.push_back(message.text);
        return texts;
    }
    std::vector<PlacedPackage> Placed() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_placed;
    }
    std::vector<StatusSnapshot> Redraws() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_redraws;
    }

    // The value of redrawClock at each redraw.
    std::vector<uint32_t> RedrawTicks() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_redrawTicks;
    }

private:
    StatusChannel m_status;
    // Guards the records below: the worker thread writes, the test reads.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<bool> m_finishes;
    std::vector<Message> m_messages;
    std::vector<PlacedPackage> m_placed;
    std::vector<StatusSnapshot> m_redraws;
    std::vector<uint32_t> m_redrawTicks;
};
