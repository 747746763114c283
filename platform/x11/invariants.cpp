// What must hold between Tarvela's records and the server whenever no event
// is waiting (x11_impl.h lists the invariants). The checks ask the server in
// one pipelined batch; every answer reflects all requests sent before it.
#include <xcb/xcb.h>

#include <algorithm>
#include <set>

#include "core/log.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

namespace {
std::string hex(xcb_window_t w) { return format("0x%x", static_cast<unsigned>(w)); }
std::string text(const Rect& r) { return format("%.0f,%.0f %.0fx%.0f", r.x, r.y, r.width, r.height); }
}  // namespace

std::vector<std::string> X11Platform::Impl::checkInvariants() {
    std::vector<std::string> out;
    if (!wmOwner_.held()) return out;
    xcb_connection_t* c = conn.raw();
    struct Asked {
        xcb_window_t win;
        xcb_query_tree_cookie_t tree;
        xcb_get_geometry_cookie_t client, frame;
    };
    std::vector<Asked> asked;
    for (auto& [w, cl] : clients_)
        asked.push_back({w, xcb_query_tree(c, w), xcb_get_geometry(c, w), xcb_get_geometry(c, cl.frame)});
    auto listCookie = conn.requestProperty(conn.root(), a._NET_CLIENT_LIST);
    auto stackCookie = conn.requestProperty(conn.root(), a._NET_CLIENT_LIST_STACKING);
    auto rootTree = xcb_query_tree(c, conn.root());

    std::set<xcb_window_t> frames;
    const std::unordered_map<xcb_window_t, Geo> records = frames_.snapshot();
    for (const Asked& q : asked) {
        const Client& cl = clients_.at(q.win);
        auto tree = conn.get(xcb_query_tree_reply, q.tree);
        auto client = conn.get(xcb_get_geometry_reply, q.client);
        auto frame = conn.get(xcb_get_geometry_reply, q.frame);
        const std::string who = "client " + hex(q.win);
        if (cl.frame == XCB_NONE || !frames.insert(cl.frame).second) out.push_back(who + " has no frame of its own");
        if (!tree) continue;  // gone meanwhile: its DestroyNotify is on its way
        if (tree->parent != cl.frame) out.push_back(who + " is not inside its frame " + hex(cl.frame));
        auto g = records.find(q.win);
        if (g == records.end() || g->second.frame != cl.frame) {
            out.push_back(who + " has no position record for its frame");
            continue;
        }
        const Geo& geo = g->second;
        if (!geo.sent || !client || !frame) continue;
        const FrameLayout& sent = *geo.sent;
        const Rect frameNow(frame->x, frame->y, frame->width, frame->height);
        const Rect frameSent(sent.frame.x, sent.frame.y, std::max(sent.frame.width, 1.0),
                             std::max(sent.frame.height, 1.0));
        if (frameNow != frameSent)
            out.push_back(who + "'s frame is at " + text(frameNow) + ", sent " + text(frameSent));
        const Rect clientNow(client->x, client->y, client->width, client->height);
        const Rect clientSent(sent.innerX, sent.innerY, geo.rect.width, geo.rect.height);
        if (clientNow != clientSent)
            out.push_back(who + " is at " + text(clientNow) + " in its frame, sent " + text(clientSent));
        if (geo.arranged) {
            const std::optional<Rect> display = geo.home ? displays_.displayRect(*geo.home) : std::nullopt;
            if (!display || geo.clip != display) out.push_back(who + " is arranged but clipped to no display of its strip");
        }
    }
    if (records.size() != clients_.size()) out.push_back(format("%zu position records for %zu clients", records.size(), clients_.size()));
    for (auto& [tw, w] : userTimeWindows_)
        if (!clients_.contains(w)) out.push_back("user time window " + hex(tw) + " names " + hex(w) + ", not a client");

    const std::set<xcb_window_t> managed = [&] {
        std::set<xcb_window_t> s;
        for (auto& [w, cl] : clients_) s.insert(w);
        return s;
    }();
    const std::vector<uint32_t> listed = conn.takeProperty(listCookie).cardinals();
    if (std::set<xcb_window_t>(listed.begin(), listed.end()) != managed || listed.size() != managed.size())
        out.push_back(format("_NET_CLIENT_LIST names %zu windows, %zu are managed", listed.size(), managed.size()));
    const std::vector<uint32_t> stacked = conn.takeProperty(stackCookie).cardinals();
    if (!std::equal(stacked.begin(), stacked.end(), clients_.stacking().begin(), clients_.stacking().end()))
        out.push_back("_NET_CLIENT_LIST_STACKING is not the stacking order");
    if (std::set<xcb_window_t>(clients_.stacking().begin(), clients_.stacking().end()) != managed || clients_.stacking().size() != managed.size())
        out.push_back("the stacking order does not hold each managed window once");
    // The server's order of the frames (bottom to top) is the stacking order.
    if (auto tree = conn.get(xcb_query_tree_reply, rootTree)) {
        std::map<xcb_window_t, xcb_window_t> clientOf;
        for (auto& [w, cl] : clients_) clientOf[cl.frame] = w;
        std::vector<xcb_window_t> order;
        const xcb_window_t* kids = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            if (auto it = clientOf.find(kids[i]); it != clientOf.end()) order.push_back(it->second);
        if (order != clients_.stacking()) out.push_back("the frames on the server are not in the stacking order");
    }
    for (auto& [dock, strut] : displays_.docks())
        if (managed.count(dock)) out.push_back("dock " + hex(dock) + " is managed as a client");
    return out;
}

std::vector<std::string> X11Platform::checkInvariants() { return d_->checkInvariants(); }

}  // namespace tarvela
