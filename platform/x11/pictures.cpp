#include "platform/x11/pictures.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/shm.h>

#include <cstring>
#include <memory>

namespace tarvela::x11 {

Pictures::~Pictures() {
    freeSegment();
    xcb_flush(conn_.raw());
}

void Pictures::freeSegment() {
    if (!segment_.addr) return;
    xcb_shm_detach(conn_.raw(), segment_.seg);
    shmdt(segment_.addr);
    segment_ = Segment{};
}

ImageRef Pictures::capture(xcb_window_t w) {
    if (!composite_) return nullptr;
    Connection& conn = conn_;
    xcb_connection_t* c = conn.raw();
    auto g = conn.get(xcb_get_geometry_reply, xcb_get_geometry(c, w));
    if (!g || g->width == 0 || g->height == 0) return nullptr;
    const int width = g->width, height = g->height;
    const bool opaque = g->depth != 32;

    // A new pixmap each time: the old one goes stale when the window is resized.
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    if (!conn.check(xcb_composite_name_window_pixmap_checked(c, w, pixmap))) return nullptr;

    auto img = std::make_shared<Image>();
    img->width = width;
    img->height = height;
    img->argb.resize(size_t(width) * height);
    bool ok = false;

    const size_t bytes = size_t(width) * height * 4;
    if (shm_ && segment_.size < bytes) {
        freeSegment();
        int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (id >= 0) {
            void* addr = shmat(id, nullptr, 0);
            const uint32_t seg = xcb_generate_id(c);
            if (addr != reinterpret_cast<void*>(-1) && conn.check(xcb_shm_attach_checked(c, seg, id, 0))) {
                segment_ = Segment{seg, id, addr, bytes};
            } else if (addr != reinterpret_cast<void*>(-1)) {
                shmdt(addr);
            }
            // Marked for removal now; it lives until both sides detach.
            shmctl(id, IPC_RMID, nullptr);
        }
        if (!segment_.addr) shm_ = false;  // e.g. a remote display: do not try again
    }
    if (shm_ && segment_.addr) {
        auto r = conn.get(xcb_shm_get_image_reply, xcb_shm_get_image(c, pixmap, 0, 0, width, height, ~0u,
                                                                     XCB_IMAGE_FORMAT_Z_PIXMAP, segment_.seg, 0));
        if (r) {
            std::memcpy(img->argb.data(), segment_.addr, bytes);
            ok = true;
        }
    }
    if (!ok) {
        auto r = conn.get(xcb_get_image_reply,
                          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, 0, width, height, ~0u));
        if (r && size_t(xcb_get_image_data_length(r.get())) >= bytes) {
            std::memcpy(img->argb.data(), xcb_get_image_data(r.get()), bytes);
            ok = true;
        }
    }
    xcb_free_pixmap(c, pixmap);
    xcb_flush(c);
    if (!ok) return nullptr;
    if (opaque)
        for (uint32_t& px : img->argb) px |= 0xff000000u;
    return img;
}

}  // namespace tarvela::x11
