// Applications on X11: one per process identifier among the managed windows,
// described from its desktop entry and WM_CLASS, with its icon from
// _NET_WM_ICON. Windows that do not name their process are asked about
// through the X-Resource extension.
#include <sys/uio.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cstring>

#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

namespace {
// X-Resource 1.2 QueryClientIds, which libxcb ships no binding for here.
xcb_extension_t xresExtension = {"X-Resource", 0};
constexpr uint8_t kQueryClientIds = 4;
constexpr uint32_t kLocalClientPidMask = 2;

struct ClientIdSpec {
    uint32_t client;
    uint32_t mask;
};
struct QueryClientIdsRequest {
    uint8_t major;
    uint8_t minor;
    uint16_t length;
    uint32_t numSpecs;
};
struct QueryClientIdsReply {
    uint8_t responseType, pad0;
    uint16_t sequence;
    uint32_t length;
    uint32_t numIds;
    uint8_t pad1[20];
};
struct ClientIdValue {
    ClientIdSpec desc;
    uint32_t length;  // bytes of value that follow
};

int32_t pidFromXRes(xcb_connection_t* c, xcb_window_t w) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xresExtension);
    if (!ext || !ext->present) return 0;
    static const xcb_protocol_request_t req = {2, &xresExtension, kQueryClientIds, 0};
    QueryClientIdsRequest out{};
    out.numSpecs = 1;
    ClientIdSpec desc{w, kLocalClientPidMask};
    iovec parts[4];
    parts[2].iov_base = &out;
    parts[2].iov_len = sizeof out;
    parts[3].iov_base = &desc;
    parts[3].iov_len = sizeof desc;
    const unsigned seq = xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &req);
    xcb_generic_error_t* err = nullptr;
    void* raw = xcb_wait_for_reply(c, seq, &err);
    std::free(err);
    if (!raw) return 0;
    Reply<QueryClientIdsReply> reply(static_cast<QueryClientIdsReply*>(raw));
    const size_t total = sizeof(QueryClientIdsReply) + reply->length * 4;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(raw) + sizeof(QueryClientIdsReply);
    const uint8_t* end = reinterpret_cast<const uint8_t*>(raw) + total;
    for (uint32_t i = 0; i < reply->numIds && p + sizeof(ClientIdValue) <= end; ++i) {
        ClientIdValue v;
        std::memcpy(&v, p, sizeof v);
        p += sizeof v;
        if ((v.desc.mask & kLocalClientPidMask) && v.length >= 4 && p + 4 <= end) {
            uint32_t pid;
            std::memcpy(&pid, p, 4);
            return static_cast<int32_t>(pid);
        }
        p += v.length;
    }
    return 0;
}
}  // namespace

int32_t X11Platform::Impl::resolvePid(xcb_window_t w, int32_t netWmPid) {
    if (netWmPid > 0) return netWmPid;
    int32_t pid = pidFromXRes(conn.raw(), w);
    postDrain();  // the wait above may have queued events
    return pid;
}

const DesktopIndex& X11Platform::Impl::desktop() {
    // Re-read now and then so that applications installed meanwhile are found.
    const double now = loop.now();
    if (desktopLoadedAt_ < 0 || now - desktopLoadedAt_ > 10) {
        desktop_.load(applicationDirs());
        desktopLoadedAt_ = now;
    }
    return desktop_;
}

ImageRef X11Platform::Impl::iconOf(int32_t pid) {
    if (auto it = icons_.find(pid); it != icons_.end()) return it->second;
    ImageRef best;
    for (const AXElement& el : windowsOf(pid)) {
        std::vector<uint32_t> v = conn.property(static_cast<xcb_window_t>(el.id), a._NET_WM_ICON, 1 << 20).cardinals();
        // Several sizes, each width, height, then ARGB pixels: take the smallest
        // that is at least 64 wide, else the largest.
        size_t i = 0, pick = SIZE_MAX;
        uint32_t pickW = 0;
        while (i + 2 <= v.size()) {
            const uint64_t w = v[i], h = v[i + 1];
            if (w == 0 || h == 0 || i + 2 + w * h > v.size()) break;
            const bool better = pick == SIZE_MAX || (pickW < 64 ? w > pickW : (w >= 64 && w < pickW));
            if (better) {
                pick = i;
                pickW = static_cast<uint32_t>(w);
            }
            i += 2 + w * h;
        }
        if (pick == SIZE_MAX) continue;
        auto img = std::make_shared<Image>();
        img->width = static_cast<int>(v[pick]);
        img->height = static_cast<int>(v[pick + 1]);
        img->argb.assign(v.begin() + pick + 2, v.begin() + pick + 2 + size_t(img->width) * img->height);
        best = img;
        break;
    }
    icons_[pid] = best;
    return best;
}

std::optional<RunningApp> X11Platform::Impl::appInfo(int32_t pid) {
    if (pid <= 0) return std::nullopt;
    std::string instance, cls, gtkId;
    bool regular = false, any = false;
    for (const AXElement& el : windowsOf(pid)) {
        const Client& c = clients_.at(static_cast<xcb_window_t>(el.id));
        any = true;
        if (cls.empty() && !c.props.cls.empty()) {
            instance = c.props.instance;
            cls = c.props.cls;
        }
        if (gtkId.empty()) gtkId = c.props.gtkAppId;
        if (subrole(c) == ax::StandardWindow && !skipsTaskbar(c)) regular = true;
    }
    if (!any) return std::nullopt;
    RunningApp app;
    app.pid = pid;
    const DesktopEntry* entry = gtkId.empty() ? desktop().byWMClass(instance, cls) : desktop().byId(gtkId);
    if (!gtkId.empty()) app.bundleIdentifier = gtkId;
    else if (entry) app.bundleIdentifier = entry->id;
    else if (!cls.empty()) app.bundleIdentifier = cls;
    if (entry && !entry->name.empty()) app.localizedName = entry->name;
    else if (!cls.empty()) app.localizedName = cls;
    app.icon = iconOf(pid);
    app.activationPolicy = regular ? ActivationPolicy::Regular : ActivationPolicy::Accessory;
    return app;
}

std::vector<RunningApp> X11Platform::Impl::runningApplications() {
    // In order of each application's first window.
    std::vector<const Client*> byMapping;
    for (auto& [w, c] : clients_) byMapping.push_back(&c);
    std::sort(byMapping.begin(), byMapping.end(), [](const Client* x, const Client* y) { return x->seq < y->seq; });
    std::vector<int32_t> pids;
    for (const Client* c : byMapping)
        if (c->props.pid > 0 && std::find(pids.begin(), pids.end(), c->props.pid) == pids.end())
            pids.push_back(c->props.pid);
    std::vector<RunningApp> out;
    for (int32_t pid : pids)
        if (auto app = appInfo(pid)) out.push_back(std::move(*app));
    return out;
}

std::optional<RunningApp> X11Platform::Impl::frontmost() {
    if (Client* c = client(focus_.window())) return appInfo(c->props.pid);
    const Client* last = nullptr;
    for (auto& [w, c] : clients_)
        if (c.focusSeq > 0 && (!last || c.focusSeq > last->focusSeq)) last = &c;
    return last ? appInfo(last->props.pid) : std::nullopt;
}

bool X11Platform::Impl::activate(int32_t pid) {
    std::optional<xcb_window_t> target;
    for (auto& [w, c] : clients_)
        if (c.props.pid == pid && c.isMain && !c.iconic) target = w;
    if (!target) target = focusedWindowOf(pid);
    if (target && client(*target)->iconic) {
        // Activating an application does not restore its minimised windows.
        target.reset();
        for (auto it = clients_.stacking().rbegin(); it != clients_.stacking().rend() && !target; ++it)
            if (clients_.at(*it).props.pid == pid && !clients_.at(*it).iconic) target = *it;
    }
    if (!target) return false;
    raise(*target);
    focusClient(*target, XCB_CURRENT_TIME);
    xcb_flush(conn.raw());
    return true;
}

}  // namespace tarvela
