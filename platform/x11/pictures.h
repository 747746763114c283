// Window pictures for the overview: each managed window is redirected with
// Composite when it appears, so its named pixmap holds its contents even off
// screen and without a compositing manager; MIT-SHM reads it without copying
// through the socket, plain GetImage when shared memory is not to be had.
#pragma once

#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>

#include "core/platform.h"
#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

class Pictures {
public:
    explicit Pictures(Connection& conn) : conn_(conn) {}
    ~Pictures();  // detaches the shared memory
    Pictures(const Pictures&) = delete;
    Pictures& operator=(const Pictures&) = delete;

    // What the server offers; nothing is captured without Composite.
    void useExtensions(bool composite, bool shm) {
        composite_ = composite;
        shm_ = shm;
    }
    // w's contents from its Composite pixmap; null when it has none to give.
    ImageRef capture(xcb_window_t w);

private:
    void freeSegment();

    Connection& conn_;
    bool composite_ = false;
    bool shm_ = false;
    // The shared segment, grown to the largest picture taken so far.
    struct Segment {
        uint32_t seg = 0;
        int id = -1;
        void* addr = nullptr;
        size_t size = 0;
    } segment_;
};

}  // namespace tarvela::x11
