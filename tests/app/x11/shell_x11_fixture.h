// The shell on a real X server: a private Xvfb and real clients (the X11
// layer's fixture), with Tarvela's shell running in this process on the X11
// platform, so a test can read what the engine computed and compare it with
// what the server shows. Waits are bounded predicates over the run loop.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/router.h"
#include "app/shell.h"
#include "input/hotkey_service.h"
#include "manager/feedback_hooks.h"
#include "settings/defaults.h"
#include "x11_fixture.h"

namespace tarvela::testing {

inline xcb_window_t xid(const AXElement& el) { return static_cast<xcb_window_t>(el.id); }

class ShellX11Test : public X11Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Becomes the window manager (unless another holds the display) and runs
    // the start sequence, as a previously onboarded user.
    void startShell();
    WindowManager& manager() { return shell_->manager; }
    StripRef strip(int i) { return manager().strips()[static_cast<size_t>(i)]; }
    StripRef stripOf(const AXElement& el);

    // Top-level windows with a _NET_WM_PID mapped on the server; works with or
    // without a window manager.
    std::vector<xcb_window_t> mappedClients();
    bool waitMapped(size_t n) { return waitFor([&] { return mappedClients().size() >= n; }); }
    // The X layer has handled every event the server had for it, and the server
    // has carried out what those handlers asked (a ConfigureRequest honoured,
    // say): the second barrier's round trip comes after their requests.
    bool barrier() { return wm_->sync() && wm_->sync(); }
    // No strip sliding and nothing left for the X layer to handle.
    bool quiet(double seconds = 5);
    // Every managed window where its strip says: the server's position equals
    // the engine's column and row formula (just inside its display for a
    // column wholly off it) and the point it recorded, and the server's size is
    // the size the engine read back. Empty when all agree.
    std::string mismatches();
    // Where the engine put it lies wholly beyond [screenLeft, screenRight).
    bool fullyOffScreen(const AXElement& el, double screenLeft, double screenRight);

    // Alt + left drag with XTEST from one root point to another; returns once
    // the X layer has handled the release (before the manager's 0.15 s look).
    bool altDrag(int x0, int y0, int x1, int y1);

    bool logged(const std::string& text);  // a line containing text
    std::vector<std::string> logs();

    MemoryDefaults defaults_;
    SimHotkeyService keys_;  // shortcuts are the input work's tests; actions are called directly here
    HeadlessRouter router_;
    NoFeedback feedback_;
    std::unique_ptr<Shell> shell_;
    int stops_ = 0;

private:
    std::mutex logMutex_;
    std::vector<std::string> logs_;
};

}  // namespace tarvela::testing
