#include "platform/x11/pictures.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/shm.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tarvela::x11 {

namespace {

// A checked request whose failure matters only to the picture: its error is
// read with the picture, never left to the event queue.
void discard(xcb_connection_t* c, xcb_void_cookie_t cookie) { xcb_discard_reply(c, cookie.sequence); }

xcb_render_transform_t scaling(PixelSize from, PixelSize to) {
    auto fixed = [](double v) { return static_cast<xcb_render_fixed_t>(std::lround(v * 65536)); };
    return {fixed(double(from.width) / to.width), 0, 0, 0, fixed(double(from.height) / to.height), 0, 0, 0,
            fixed(1)};
}

}  // namespace

Pictures::~Pictures() {
    if (pending_) take(*pending_);
    freeSegment();
    xcb_flush(conn_.raw());
}

void Pictures::freeSegment() {
    if (!segment_.addr) return;
    xcb_shm_detach(conn_.raw(), segment_.seg);
    shmdt(segment_.addr);
    segment_ = Segment{};
}

bool Pictures::segmentFor(size_t bytes) {
    if (!shm_) return false;
    if (segment_.size >= bytes) return true;
    freeSegment();
    xcb_connection_t* c = conn_.raw();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id >= 0) {
        void* addr = shmat(id, nullptr, 0);
        const uint32_t seg = xcb_generate_id(c);
        if (addr != reinterpret_cast<void*>(-1) && conn_.check(xcb_shm_attach_checked(c, seg, id, 0))) {
            segment_ = Segment{seg, id, addr, bytes};
        } else if (addr != reinterpret_cast<void*>(-1)) {
            shmdt(addr);
        }
        // Marked for removal now; it lives until both sides detach.
        shmctl(id, IPC_RMID, nullptr);
    }
    if (!segment_.addr) shm_ = false;  // e.g. a remote display: do not try again
    return shm_;
}

bool Pictures::renderReady() {
    if (render_) return *render_;
    render_ = false;
    xcb_connection_t* c = conn_.raw();
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_render_id);
    if (!ext || !ext->present) return false;
    // Transforms and filters came with 0.6, the padding repeat with 0.10.
    auto v = conn_.get(xcb_render_query_version_reply, xcb_render_query_version(c, 0, 11));
    if (!v || (v->major_version == 0 && v->minor_version < 10)) return false;
    auto f = conn_.get(xcb_render_query_pict_formats_reply, xcb_render_query_pict_formats(c));
    if (!f) return false;
    const xcb_render_pictforminfo_t* formats = xcb_render_query_pict_formats_formats(f.get());
    for (int i = 0; i < xcb_render_query_pict_formats_formats_length(f.get()); ++i) {
        const xcb_render_pictforminfo_t& p = formats[i];
        const xcb_render_directformat_t& d = p.direct;
        if (p.type == XCB_RENDER_PICT_TYPE_DIRECT && p.depth == 32 && d.alpha_shift == 24 && d.alpha_mask == 0xff &&
            d.red_shift == 16 && d.red_mask == 0xff && d.green_shift == 8 && d.green_mask == 0xff &&
            d.blue_shift == 0 && d.blue_mask == 0xff)
            argb32_ = p.id;
    }
    for (auto s = xcb_render_query_pict_formats_screens_iterator(f.get()); s.rem; xcb_render_pictscreen_next(&s))
        for (auto d = xcb_render_pictscreen_depths_iterator(s.data); d.rem; xcb_render_pictdepth_next(&d))
            for (auto v = xcb_render_pictdepth_visuals_iterator(d.data); v.rem; xcb_render_pictvisual_next(&v))
                visualFormats_[v.data->visual] = v.data->format;
    render_ = argb32_ != 0;
    return *render_;
}

std::optional<xcb_pixmap_t> Pictures::scale(Request& r, xcb_pixmap_t from, xcb_visualid_t visual, PixelSize own,
                                            PixelSize to) {
    auto format = visualFormats_.find(visual);
    if (format == visualFormats_.end()) return std::nullopt;
    xcb_connection_t* c = conn_.raw();
    // Bilinear filtering alone, far down, samples a few pixels of many and
    // text comes out ragged: the first step scales to a power of two times
    // the size asked for, and each following step halves it, where bilinear
    // filtering is an exact average of four pixels.
    const double factor = std::max(double(own.width) / to.width, double(own.height) / to.height);
    int halvings = 0;
    while (halvings < 4 && factor / double(2 << halvings) >= 1.5) ++halvings;

    const uint32_t pad = XCB_RENDER_REPEAT_PAD;  // edges sample themselves, not the clear beyond
    const char filter[] = "bilinear";
    xcb_render_picture_t source = xcb_generate_id(c);
    r.checks.push_back(xcb_render_create_picture_checked(c, source, from, format->second, XCB_RENDER_CP_REPEAT, &pad));
    PixelSize at = own;
    xcb_pixmap_t last = XCB_NONE;
    for (int step = halvings; step >= 0; --step) {
        const PixelSize next{to.width << step, to.height << step};
        const xcb_pixmap_t pixmap = xcb_generate_id(c);
        const xcb_render_picture_t picture = xcb_generate_id(c);
        r.checks.push_back(xcb_create_pixmap_checked(c, 32, pixmap, conn_.root(), static_cast<uint16_t>(next.width),
                                                     static_cast<uint16_t>(next.height)));
        r.checks.push_back(
            xcb_render_create_picture_checked(c, picture, pixmap, argb32_, XCB_RENDER_CP_REPEAT, &pad));
        r.checks.push_back(xcb_render_set_picture_transform_checked(c, source, scaling(at, next)));
        r.checks.push_back(xcb_render_set_picture_filter_checked(c, source, sizeof filter - 1, filter, 0, nullptr));
        r.checks.push_back(xcb_render_composite_checked(c, XCB_RENDER_PICT_OP_SRC, source, XCB_NONE, picture, 0, 0, 0,
                                                        0, 0, 0, static_cast<uint16_t>(next.width),
                                                        static_cast<uint16_t>(next.height)));
        discard(c, xcb_render_free_picture_checked(c, source));
        if (last != XCB_NONE) discard(c, xcb_free_pixmap_checked(c, last));
        source = picture;
        last = pixmap;
        at = next;
    }
    discard(c, xcb_render_free_picture_checked(c, source));  // its pixmap stays until read
    return last;
}

std::unique_ptr<Pictures::Request> Pictures::request(xcb_window_t w, std::optional<PixelSize> size) {
    xcb_connection_t* c = conn_.raw();
    const bool scaled = size && renderReady();
    const auto geometryCookie = xcb_get_geometry(c, w);
    xcb_get_window_attributes_cookie_t attributesCookie{};
    if (scaled) attributesCookie = xcb_get_window_attributes(c, w);
    auto g = conn_.get(xcb_get_geometry_reply, geometryCookie);
    Reply<xcb_get_window_attributes_reply_t> a;
    if (scaled) a = conn_.get(xcb_get_window_attributes_reply, attributesCookie);
    if (!g || g->width == 0 || g->height == 0) return nullptr;

    auto r = std::make_unique<Request>();
    r->w = w;
    r->asked = size;
    // A new pixmap each time: the old one goes stale when the window is resized.
    const xcb_pixmap_t named = xcb_generate_id(c);
    r->checks.push_back(xcb_composite_name_window_pixmap_checked(c, w, named));
    const PixelSize own{g->width, g->height};
    xcb_pixmap_t read = named;
    std::optional<xcb_pixmap_t> small;
    if (scaled && a && size->width > 0 && size->height > 0 && *size != own)
        small = scale(*r, named, a->visual, own, *size);
    if (small) {
        read = *small;
        r->width = size->width;
        r->height = size->height;
    } else {
        r->width = own.width;
        r->height = own.height;
        r->opaque = g->depth != 32;
    }
    const auto width = static_cast<uint16_t>(r->width), height = static_cast<uint16_t>(r->height);
    r->shared = segmentFor(size_t(r->width) * r->height * 4);
    if (r->shared)
        r->shmImage =
            xcb_shm_get_image(c, read, 0, 0, width, height, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment_.seg, 0);
    else
        r->image = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, read, 0, 0, width, height, ~0u);
    if (small) discard(c, xcb_free_pixmap_checked(c, *small));
    discard(c, xcb_free_pixmap_checked(c, named));
    xcb_flush(c);
    return r;
}

ImageRef Pictures::take(Request& r) {
    xcb_connection_t* c = conn_.raw();
    auto img = std::make_shared<Image>();
    img->width = r.width;
    img->height = r.height;
    const size_t bytes = size_t(r.width) * r.height * 4;
    bool ok = false;
    if (r.shared) {
        if (conn_.get(xcb_shm_get_image_reply, r.shmImage)) {
            img->argb.resize(size_t(r.width) * r.height);
            std::memcpy(img->argb.data(), segment_.addr, bytes);
            ok = true;
        }
    } else if (auto reply = conn_.get(xcb_get_image_reply, r.image)) {
        if (size_t(xcb_get_image_data_length(reply.get())) >= bytes) {
            img->argb.resize(size_t(r.width) * r.height);
            std::memcpy(img->argb.data(), xcb_get_image_data(reply.get()), bytes);
            ok = true;
        }
    }
    for (xcb_void_cookie_t ck : r.checks)
        if (xcb_generic_error_t* e = xcb_request_check(c, ck)) {
            std::free(e);
            ok = false;
        }
    if (!ok) return nullptr;
    if (r.opaque)
        for (uint32_t& px : img->argb) px |= 0xff000000u;
    return img;
}

void Pictures::prepare(xcb_window_t w, PixelSize size) {
    if (!composite_) return;
    // The one asked for before is not wanted any more; its reply is read and
    // dropped so that the segment is free again.
    if (pending_) take(*std::exchange(pending_, nullptr));
    pending_ = request(w, size);
}

ImageRef Pictures::capture(xcb_window_t w, std::optional<PixelSize> size) {
    if (!composite_) return nullptr;
    std::unique_ptr<Request> r = std::exchange(pending_, nullptr);
    if (r && (r->w != w || r->asked != size)) {
        take(*r);
        r.reset();
    }
    if (!r) r = request(w, size);
    return r ? take(*r) : nullptr;
}

}  // namespace tarvela::x11
