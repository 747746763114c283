// Window pictures for the overview: each managed window is redirected with
// Composite when it appears, so its named pixmap holds its contents even off
// screen and without a compositing manager. The server scales the picture
// with RENDER to the size asked for, so only that crosses the connection;
// MIT-SHM reads it without copying through the socket, plain GetImage when
// shared memory is not to be had.
//
// Invariant: at most one picture is asked for and not yet read (`pending_`),
// and only it may be using the shared segment; the segment grows only while
// none is pending.
#pragma once

#include <xcb/render.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

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
    // w's contents from its Composite pixmap, at `size` when given and the
    // server can scale (else at its own size); null when it has none to give.
    ImageRef capture(xcb_window_t w, std::optional<PixelSize> size);
    // Asks the server for capture(w, size)'s picture now, so that it is ready
    // when capture() comes; a picture asked for before and not taken is dropped.
    void prepare(xcb_window_t w, PixelSize size);

private:
    // One picture asked of the server and not yet read.
    struct Request {
        int width = 0, height = 0;  // of the picture coming back
        bool opaque = false;        // its alpha byte means nothing
        bool shared = false;        // read into the shared segment
        // Requests whose failure spoils the picture (the window went away, mostly);
        // all sent before the read, so all answered once its reply is in.
        std::vector<xcb_void_cookie_t> checks;
        xcb_shm_get_image_cookie_t shmImage{};
        xcb_get_image_cookie_t image{};
        xcb_window_t w = XCB_NONE;
        std::optional<PixelSize> asked;
    };
    std::unique_ptr<Request> request(xcb_window_t w, std::optional<PixelSize> size);
    ImageRef take(Request& r);
    // The shared segment, at least `bytes` long; false when there is none.
    bool segmentFor(size_t bytes);
    void freeSegment();
    // RENDER's formats, asked once; false when the server cannot scale.
    bool renderReady();
    // The chain of RENDER steps scaling `from` (w's named pixmap) to `to`;
    // the picture to read, or none.
    std::optional<xcb_pixmap_t> scale(Request& r, xcb_pixmap_t from, xcb_visualid_t visual, PixelSize own,
                                      PixelSize to);

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
    std::unique_ptr<Request> pending_;
    // RENDER: unknown until first needed, then whether the server can scale.
    std::optional<bool> render_;
    xcb_render_pictformat_t argb32_ = 0;
    std::map<xcb_visualid_t, xcb_render_pictformat_t> visualFormats_;
};

}  // namespace tarvela::x11
