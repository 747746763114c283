// A badly behaved X client: on its own connection and thread it sends one
// kind of request at two windows of its own, alternately, as fast as the
// server takes them, until stopped. Used by the tests and the benches.
#pragma once

#include <xcb/xcb.h>

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#ifndef TARVELA_TIME_SLACK
#define TARVELA_TIME_SLACK 1
#endif

namespace tarvela::testing {

// The flood tests' response-time limits, stretched in the (much slower) sanitizer builds.
inline constexpr double kTimeSlack = TARVELA_TIME_SLACK;
// Requests a second a flood sends; 0: as fast as the server takes them. A
// sanitizer build handles each event several times slower than the server
// makes one, so there the flood is paced, still far above what a well-behaved
// client sends, and the memory bound is not held (freed memory stays in the
// sanitizer's quarantine).
inline constexpr double kFloodRate = TARVELA_TIME_SLACK > 1 ? 20000 : 0;
inline constexpr bool kMemoryMeasurable = TARVELA_TIME_SLACK == 1;
// Requests sent two seconds into a flood, at the least.
inline constexpr uint64_t kFloodVolume = kFloodRate > 0 ? 36000 : 40000;

// What a flood costs the process that receives it: its resident memory in MB
// (VmRSS), 0 when unreadable.
inline double residentMb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    return 0;
}

enum class Flood { Activation, FullScreen, Configure };

class Flooder {
public:
    Flooder(const std::string& display, Flood kind) : kind_(kind) {
        c_ = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(c_)) return;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        activeWindow_ = atom("_NET_ACTIVE_WINDOW");
        wmState_ = atom("_NET_WM_STATE");
        fullScreen_ = atom("_NET_WM_STATE_FULLSCREEN");
        for (int i = 0; i < 2; ++i) {
            wins_[i] = xcb_generate_id(c_);
            xcb_create_window(c_, XCB_COPY_FROM_PARENT, wins_[i], root_, static_cast<int16_t>(100 + 300 * i), 100, 400,
                              300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
            const uint32_t pid = 515150u + static_cast<uint32_t>(i);
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, wins_[i], atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                                &pid);
            // Dialogs float: their ConfigureRequests are honoured, not refused.
            if (kind == Flood::Configure) {
                const xcb_atom_t dialog = atom("_NET_WM_WINDOW_TYPE_DIALOG");
                xcb_change_property(c_, XCB_PROP_MODE_REPLACE, wins_[i], atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM,
                                    32, 1, &dialog);
            }
            xcb_map_window(c_, wins_[i]);
        }
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    ~Flooder() {
        stop();
        xcb_disconnect(c_);
    }
    Flooder(const Flooder&) = delete;
    Flooder& operator=(const Flooder&) = delete;

    bool ok() const { return !xcb_connection_has_error(c_); }
    xcb_window_t window(int i) const { return wins_[i]; }
    void start() {
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    uint64_t sent() const { return sent_.load(); }

private:
    xcb_atom_t atom(const char* name) {
        auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(name)), name),
                                        nullptr);
        const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        std::free(r);
        return a;
    }
    void run() {
        const auto began = std::chrono::steady_clock::now();
        for (uint64_t i = 0; !stop_; ++i) {
            const xcb_window_t w = wins_[i % 2];
            if (kind_ == Flood::Configure) {
                const uint32_t xy[] = {static_cast<uint32_t>(100 + i % 200), static_cast<uint32_t>(100 + i % 150)};
                xcb_configure_window(c_, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, xy);
            } else {
                xcb_client_message_event_t m{};
                m.response_type = XCB_CLIENT_MESSAGE;
                m.format = 32;
                m.window = w;
                m.type = kind_ == Flood::Activation ? activeWindow_ : wmState_;
                m.data.data32[0] = kind_ == Flood::Activation ? 1 : 2;  // from an application / toggle
                if (kind_ == Flood::FullScreen) m.data.data32[1] = fullScreen_;
                xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                               reinterpret_cast<const char*>(&m));
            }
            // xcb writes when its buffer is full, and waits while the server is behind.
            if (i % 64 == 63) {
                xcb_flush(c_);
                sent_ += 64;
                if (kFloodRate > 0)
                    std::this_thread::sleep_until(began + std::chrono::duration<double>((i + 1) / kFloodRate));
            }
            // What the server says back about our windows is read and dropped.
            while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) std::free(e);
        }
        xcb_flush(c_);
    }

    Flood kind_;
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_window_t wins_[2] = {};
    xcb_atom_t activeWindow_ = XCB_ATOM_NONE, wmState_ = XCB_ATOM_NONE, fullScreen_ = XCB_ATOM_NONE;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sent_{0};
};

}  // namespace tarvela::testing
