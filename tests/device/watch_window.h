// A main window for worker tests without the UI toolkit: its own "UI thread" runs posted
// messages, sent messages and UI steps in the order they were handed over, and records every
// message, timer and control operation as one line ("post 3077", "timer 8 500", "show ms_tab").
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kavrel/device/workers.h"

namespace kavrel::testing {

class WatchWindow : public WorkerWindow {
public:
    static constexpr unsigned kWake = 0xC3A5;

    WatchWindow() {
        keyboard_.SetIdentity(0x0C45, 0x6556, 0x0092, 0xFF1C);
        mouse_.SetIdentity(0x0C45, 0x7643, 0x0092, 0xFF1C);
        pad_.SetIdentity(0x0C45, 0x5004, 0x0092, 0xFF1C);
        ui_ = std::thread([this] { runUi(); });
    }
    ~WatchWindow() override {
        {
            std::lock_guard lock(m_);
            quit_ = true;
        }
        cv_.notify_all();
        ui_.join();
    }

    DeviceChannel& Channel(DeviceKind d) override {
        return d == DeviceKind::Keyboard ? keyboard_ : d == DeviceKind::Mouse ? mouse_ : pad_;
    }
    void PostMessage(unsigned msg, std::uintptr_t, std::intptr_t) override {
        queue([this, msg] { record(msg == kWake ? "post wake" : "post " + std::to_string(msg)); });
    }
    std::intptr_t SendMessage(unsigned msg, std::uintptr_t, std::intptr_t) override {
        std::mutex done;
        std::condition_variable cv;
        bool handled = false;
        queue([&] {
            record("send " + std::to_string(msg));
            std::lock_guard lock(done);
            handled = true;
            cv.notify_all();
        });
        std::unique_lock lock(done);
        cv.wait(lock, [&] { return handled; });
        return 0;
    }
    void SetTimer(int id, int ms) override { record("timer " + std::to_string(id) + " " + std::to_string(ms)); }
    unsigned WakeMessage() override { return kWake; }
    void RunOnUi(std::function<void()> step) override { queue(std::move(step)); }

    void SelectStoredDeviceProfile(DeviceKind d) override { uiRecord(std::string("select-profile ") + std::string(devicePrefix(d))); }
    void SetControlVisible(std::string_view name, bool visible) override {
        uiRecord((visible ? "show " : "hide ") + std::string(name));
    }
    void SelectOption(std::string_view name) override { uiRecord("select " + std::string(name)); }
    void SetControlFocus(std::string_view name) override { uiRecord("focus " + std::string(name)); }
    int OnMouseDetected() override {
        uiRecord("hook");
        return 0;
    }

    std::vector<std::string> events() const {
        std::lock_guard lock(m_);
        return events_;
    }
    std::size_t count(const std::string& e) const {
        std::lock_guard lock(m_);
        return static_cast<std::size_t>(std::count(events_.begin(), events_.end(), e));
    }
    // Waits until the event has been recorded n times; false after the deadline.
    bool waitFor(const std::string& e, std::size_t n = 1, std::chrono::milliseconds deadline = std::chrono::seconds(8)) {
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, deadline, [&] { return std::count(events_.begin(), events_.end(), e) >= static_cast<long>(n); });
    }
    void clear() {
        std::lock_guard lock(m_);
        events_.clear();
    }
    // UI operations that ran on another thread than the window's own.
    int offThreadUiCalls() const { return offThread_.load(); }

private:
    void queue(std::function<void()> fn) {
        {
            std::lock_guard lock(m_);
            work_.push_back(std::move(fn));
        }
        cv_.notify_all();
    }
    void runUi() {
        std::unique_lock lock(m_);
        uiId_ = std::this_thread::get_id();
        for (;;) {
            cv_.wait(lock, [&] { return quit_ || !work_.empty(); });
            if (work_.empty()) return;
            auto fn = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            fn();
            lock.lock();
        }
    }
    void record(std::string e) {
        {
            std::lock_guard lock(m_);
            events_.push_back(std::move(e));
        }
        cv_.notify_all();
    }
    void uiRecord(std::string e) {
        {
            std::lock_guard lock(m_);
            if (std::this_thread::get_id() != uiId_) ++offThread_;
        }
        record(std::move(e));
    }

    DeviceChannel keyboard_, mouse_, pad_;
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> work_;
    std::vector<std::string> events_;
    bool quit_ = false;
    std::atomic<int> offThread_{0};
    std::thread::id uiId_;
    std::thread ui_;
};

} // namespace kavrel::testing
