#include "platform/x11/x11_platform.h"

#include <unistd.h>
#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/shape.h>
#include <xcb/shm.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include <utility>

#include "core/log.h"
#include "core/processes.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

X11Platform::Impl::Impl(RunLoop& l, X11Options options)
    : loop(l), opts(std::move(options)), conn(opts.display), a(conn.atoms()) {
    queryExtensions();
    buildHandlerTable();

    selectRootEvents();
    watchDesktopServices();

    conn.setDrainHook([this] { postDrain(); });
    watch = loop.watchFd(conn.fd(), [this] { dispatchEvents(); });
    acquire(opts.replace);
    xcb_flush(conn.raw());
}

X11Platform::Impl::~Impl() {
    loop.unwatchFd(watch);
    conn.setDrainHook(nullptr);
    if (wmOwner_.held()) releaseWm();
    xcb_flush(conn.raw());
}

void X11Platform::Impl::queryExtensions() {
    xcb_connection_t* c = conn.raw();
    xcb_prefetch_extension_data(c, &xcb_randr_id);
    xcb_prefetch_extension_data(c, &xcb_input_id);
    xcb_prefetch_extension_data(c, &xcb_composite_id);
    xcb_prefetch_extension_data(c, &xcb_shm_id);
    xcb_prefetch_extension_data(c, &xcb_shape_id);
    xcb_prefetch_extension_data(c, &xcb_xfixes_id);

    auto* randr = xcb_get_extension_data(c, &xcb_randr_id);
    auto* input = xcb_get_extension_data(c, &xcb_input_id);
    auto* comp = xcb_get_extension_data(c, &xcb_composite_id);
    auto* shmExt = xcb_get_extension_data(c, &xcb_shm_id);
    auto* fixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    // Version requests go out together; the replies are collected after.
    xcb_randr_query_version_cookie_t rv{};
    xcb_input_xi_query_version_cookie_t iv{};
    xcb_composite_query_version_cookie_t cv{};
    xcb_xfixes_query_version_cookie_t fv{};
    if (randr && randr->present) rv = xcb_randr_query_version(c, 1, 5);
    if (input && input->present) iv = xcb_input_xi_query_version(c, 2, 2);
    if (comp && comp->present) cv = xcb_composite_query_version(c, 0, 4);
    // XFixes answers nothing else before its version is asked.
    if (fixes && fixes->present) fv = xcb_xfixes_query_version(c, 5, 0);
    if (randr && randr->present) {
        if (auto r = conn.get(xcb_randr_query_version_reply, rv)) {
            randrEventBase = randr->first_event;
            displays_.useRandr15(r->major_version > 1 || (r->major_version == 1 && r->minor_version >= 5));
        }
    }
    if (input && input->present) {
        if (auto r = conn.get(xcb_input_xi_query_version_reply, iv)) {
            xinputOpcode = input->major_opcode;
            xi2 = r->major_version >= 2;
            pointer_.useXi2(xi2);
        }
    }
    if (comp && comp->present) {
        if (auto r = conn.get(xcb_composite_query_version_reply, cv))
            composite = r->major_version > 0 || r->minor_version >= 2;
    }
    if (fixes && fixes->present) {
        if (auto r = conn.get(xcb_xfixes_query_version_reply, fv); r && r->major_version >= 1)
            xfixesEventBase = fixes->first_event;
    }
    pictures_.useExtensions(composite, shmExt && shmExt->present);
    auto* shapeExt = xcb_get_extension_data(c, &xcb_shape_id);
    shape = shapeExt && shapeExt->present;
    if (shape) shapeEventBase = shapeExt->first_event;
    frames_.useShape(shape);
    marker_.useShape(shape);
}

void X11Platform::Impl::selectRootEvents() {
    xcb_connection_t* c = conn.raw();
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, conn.root(), XCB_CW_EVENT_MASK, &mask);
    if (randrEventBase >= 0)
        xcb_randr_select_input(c, conn.root(),
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
    if (xi2) {
        // Every button release anywhere, grabs or not: the global mouse-up monitor.
        struct {
            xcb_input_event_mask_t head;
            uint32_t bits;
        } m{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE};
        xcb_input_xi_select_events(c, conn.root(), 1, &m.head);
    }
}

void X11Platform::Impl::postDrain() {
    if (drainPosted) return;
    drainPosted = true;
    loop.post(life.guard([this] {
        drainPosted = false;
        dispatchEvents();
    }));
}

// --- X11Platform ---

X11Platform::X11Platform(RunLoop& loop, X11Options options) : d_(std::make_unique<Impl>(loop, std::move(options))) {}
X11Platform::~X11Platform() = default;

bool X11Platform::tryAcquire() { return d_->tryAcquire(); }
bool X11Platform::takeOver() { return d_->tryAcquire() || d_->acquire(true); }
void X11Platform::dispatchEvents() { d_->dispatchEvents(); }
bool X11Platform::sync() { return d_->sync(); }
void X11Platform::publishOnRoot(const std::string& property, const std::string& text) {
    x11::Connection& c = d_->conn;
    if (c.broken()) return;
    const xcb_atom_t prop = c.internAtom(property);
    if (prop == XCB_ATOM_NONE) return;
    if (text.empty())
        xcb_delete_property(c.raw(), c.root(), prop);
    else
        c.setText(c.root(), prop, text);
    xcb_flush(c.raw());
}
std::optional<std::string> X11Platform::restartRecord(size_t maxBytes) {
    x11::Connection& c = d_->conn;
    if (c.broken()) return std::nullopt;
    // One long more than the bound: a longer text reads as too long, never as a shorter one.
    const x11::Property p =
        c.property(c.root(), d_->a._TARVELA_ARRANGEMENT, static_cast<uint32_t>(maxBytes / 4 + 1));
    if (p.type != d_->a.UTF8_STRING || p.format != 8) return std::nullopt;
    return std::string(p.data.begin(), p.data.end());
}
void X11Platform::setRestartRecord(const std::string& text) {
    x11::Connection& c = d_->conn;
    if (c.broken()) return;
    // One ChangeProperty: a reader sees the old text or the new one, never a mix.
    if (text.empty()) xcb_delete_property(c.raw(), c.root(), d_->a._TARVELA_ARRANGEMENT);
    else c.setText(c.root(), d_->a._TARVELA_ARRANGEMENT, text);
    xcb_flush(c.raw());
}
void X11Platform::answerInput(uint32_t time, const std::function<void()>& fn) {
    d_->focus_.answering(time, fn);
}

std::string X11Platform::displayName() const { return d_->conn.displayName(); }
x11::Connection& X11Platform::connection() { return d_->conn; }
uint64_t X11Platform::positionRequests() const { return d_->frames_.requests(); }

void X11Platform::assignDisplay(const AXElement& window, std::optional<uint64_t> screenId) {
    if (window.isWindow()) d_->assignDisplay(static_cast<xcb_window_t>(window.id), screenId);
}

void X11Platform::floatedBefore(const AXElement& window) {
    if (!window.isWindow()) return;
    const auto w = static_cast<xcb_window_t>(window.id);
    d_->frames_.markFloated(w);
    d_->syncBar(w);
    xcb_flush(d_->conn.raw());
}

void X11Platform::setTitleBarPainter(std::shared_ptr<TitleBarPainter> painter) {
    d_->bars_.setPainter(std::move(painter));
    xcb_flush(d_->conn.raw());
}

void X11Platform::repaintTitleBars() {
    d_->bars_.repaintAll();
    xcb_flush(d_->conn.raw());
}

void X11Platform::onUnresponsiveClose(UnresponsiveHandler handler) { d_->unresponsive_ = std::move(handler); }

void X11Platform::releaseAllArranged() {
    std::vector<xcb_window_t> all;
    for (auto& [w, c] : d_->clients_) all.push_back(w);
    for (xcb_window_t w : all) d_->assignDisplay(w, std::nullopt);
    d_->frames_.forgetFloated();
    for (xcb_window_t w : all) d_->syncBar(w);
    xcb_flush(d_->conn.raw());
}

std::optional<AttrValue> X11Platform::copyAttribute(const AXElement& el, std::string_view name) {
    return d_->copyAttribute(el, name);
}
bool X11Platform::setAttribute(const AXElement& el, std::string_view name, const AttrValue& value) {
    return d_->setAttribute(el, name, value);
}
bool X11Platform::performAction(const AXElement& el, std::string_view action) { return d_->performAction(el, action); }

std::optional<int32_t> X11Platform::pidOf(const AXElement& el) {
    if (el.kind == AXElement::Kind::Application) return static_cast<int32_t>(el.id);
    if (auto* c = d_->client(static_cast<xcb_window_t>(el.id)); c && el.isWindow() && c->props.pid > 0)
        return c->props.pid;
    return std::nullopt;
}

std::optional<uint32_t> X11Platform::windowNumber(const AXElement& el) {
    if (!el.isWindow() || el.id == 0 || el.id > 0xffffffffu) return std::nullopt;
    return static_cast<uint32_t>(el.id);
}

bool X11Platform::isProcessTrusted() { return d_->wmOwner_.held(); }
std::vector<RunningApp> X11Platform::runningApplications() { return d_->runningApplications(); }
std::optional<RunningApp> X11Platform::runningApplication(int32_t pid) { return d_->appInfo(pid); }
std::optional<RunningApp> X11Platform::frontmostApplication() { return d_->frontmost(); }
bool X11Platform::activate(int32_t pid) { return d_->activate(pid); }
int32_t X11Platform::ownPid() { return static_cast<int32_t>(getpid()); }
std::vector<Screen> X11Platform::screens() { return d_->screens(); }
bool X11Platform::compositing() { return d_->compositing_; }
void X11Platform::onCompositingChanged(std::function<void(bool)> handler) {
    d_->compositingHandler_ = std::move(handler);
}
bool X11Platform::systemTray() { return d_->tray_; }
void X11Platform::onSystemTrayChanged(std::function<void(bool)> handler) { d_->trayHandler_ = std::move(handler); }
void X11Platform::watchPointer(std::function<void(Point)> moved) { d_->pointer_.watch(std::move(moved)); }
void X11Platform::unwatchPointer() { d_->pointer_.unwatch(); }
void X11Platform::setOwnWindowsInTaskbar(bool shown) { d_->setOwnWindowsInTaskbar(shown); }
bool X11Platform::stackBelow(uint64_t panel, uint32_t window) { return d_->stackBelow(panel, window); }

std::unique_ptr<AXObserver> X11Platform::createObserver(int32_t pid, AXCallback callback) {
    return d_->notifications_.observe(pid, std::move(callback));
}

SubscriptionRef X11Platform::addWorkspaceObserver(WorkspaceEvent event, WorkspaceHandler handler) {
    return d_->notifications_.onWorkspace(event, std::move(handler));
}

SubscriptionRef X11Platform::addDragMonitor(std::function<void(const AXElement&, bool)> handler) {
    return d_->notifications_.onDrag(std::move(handler));
}

void X11Platform::showDropMarker(std::optional<Rect> r) {
    d_->marker_.show(r);
    xcb_flush(d_->conn.raw());
}

void X11Platform::setDropMarkerColour(uint32_t rgb) {
    d_->marker_.setColour(rgb);
    xcb_flush(d_->conn.raw());
}

uint32_t X11Platform::dropMarkerWindow() const { return d_->marker_.window(); }

SubscriptionRef X11Platform::addMouseUpMonitor(std::function<void()> handler) {
    return d_->notifications_.onMouseUp(std::move(handler));
}

SubscriptionRef X11Platform::addActivationMonitor(ActivationHandler handler) {
    return d_->notifications_.onActivation(std::move(handler));
}

SubscriptionRef X11Platform::addLaunchMonitor(std::function<void(const std::string&)> handler) {
    return d_->notifications_.onLaunch(std::move(handler));
}

ImageRef X11Platform::capture(const AXElement& window, std::optional<PixelSize> size) {
    if (!window.isWindow()) return nullptr;
    const xcb_window_t w = static_cast<xcb_window_t>(window.id);
    d_->redirectPending();
    const x11::Client* c = d_->client(w);
    return c && !c->iconic ? d_->pictures_.capture(w, size) : nullptr;
}

void X11Platform::prepareCapture(const AXElement& window, PixelSize size) {
    if (!window.isWindow()) return;
    const xcb_window_t w = static_cast<xcb_window_t>(window.id);
    d_->redirectPending();
    const x11::Client* c = d_->client(w);
    if (c && !c->iconic) d_->pictures_.prepare(w, size);
}

bool X11Platform::launchApplication(const std::string& bundleIdentifier, const std::string& startupId) {
    const DesktopEntry* e = d_->desktop().byId(bundleIdentifier);
    if (!e) return false;
    auto argv = execArguments(e->exec);
    if (argv.empty() || !programExists(argv[0])) return false;
    // The program hands the id on to its windows (_NET_STARTUP_ID).
    if (startupId.empty()) return startDetached(argv, {"DESKTOP_STARTUP_ID"});
    return startDetached(argv, {}, {"DESKTOP_STARTUP_ID=" + startupId});
}

bool X11Platform::isApplicationInstalled(const std::string& bundleIdentifier) {
    const DesktopEntry* e = d_->desktop().byId(bundleIdentifier);
    if (!e) return false;
    if (!e->tryExec.empty() && !programExists(e->tryExec)) return false;
    auto argv = execArguments(e->exec);
    return !argv.empty() && programExists(argv[0]);
}

}  // namespace tarvela
