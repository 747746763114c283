#include "platform/sim/sim_desktop.h"

#include <algorithm>
#include <chrono>

#include "platform/sim/sim_state.h"

namespace tarvela {

namespace {

// Models an application that takes its time to answer. Sleeping lets other
// writers run meanwhile, as a slow foreign process would; the final stretch is
// spun so that short costs are not stretched by the scheduler's slack.
void spend(double seconds) {
    if (seconds <= 0) return;
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    constexpr auto slack = std::chrono::microseconds(80);
    if (end - Clock::now() > slack) std::this_thread::sleep_until(end - slack);
    while (Clock::now() < end) std::this_thread::yield();
}

int32_t appPid(const AXElement& el) { return static_cast<int32_t>(static_cast<uint32_t>(el.id)); }

std::optional<WriteKind> writeKind(std::string_view name) {
    if (name == ax::Position) return WriteKind::Position;
    if (name == ax::SizeAttr) return WriteKind::Size;
    if (name == ax::Main) return WriteKind::Main;
    if (name == ax::Minimized) return WriteKind::Minimized;
    if (name == ax::EnhancedUserInterface) return WriteKind::EnhancedUI;
    return std::nullopt;
}

void count(WriteCounts& c, WriteKind kind) {
    switch (kind) {
        case WriteKind::Position: ++c.position; break;
        case WriteKind::Size: ++c.size; break;
        case WriteKind::Main: ++c.main; break;
        case WriteKind::Raise: ++c.raise; break;
        case WriteKind::EnhancedUI: ++c.enhancedUI; break;
        case WriteKind::Minimized: ++c.minimized; break;
    }
}

}  // namespace

using State = SimDesktop::State;

SimDesktop::SimDesktop(RunLoop& loop) : s_(std::make_shared<State>(loop)) {}
SimDesktop::~SimDesktop() = default;

// ---------------------------------------------------------------- reads

std::optional<AttrValue> SimDesktop::copyAttribute(const AXElement& el, std::string_view name) {
    std::lock_guard lock(s_->m);
    if (!s_->trusted) return std::nullopt;
    if (el.isWindow()) {
        SimWindow* w = s_->openWindow(el);
        if (w && w->readsLeft && (*w->readsLeft)-- == 0) s_->close(*w);
        if (!w || w->closed || w->unreadable.count(name)) return std::nullopt;
        SimApp* a = s_->app(w->pid);
        if (!a || a->unresponsive) return std::nullopt;
        if (name == ax::Position) return AttrValue(w->frame.origin());
        if (name == ax::SizeAttr) return AttrValue(w->frame.size());
        if (name == ax::SizeIncrement) {
            if (w->desc.inc.width <= 0 && w->desc.inc.height <= 0) return std::nullopt;
            return AttrValue(w->desc.inc);
        }
        if (name == ax::Subrole) {
            if (!w->desc.subrole) return std::nullopt;
            return AttrValue(*w->desc.subrole);
        }
        if (name == ax::Minimized) return AttrValue(w->desc.minimized);
        if (name == ax::DemandsAttention) return AttrValue(w->desc.demandsAttention);
        if (name == ax::UserTime) return w->desc.userTime ? std::optional<AttrValue>(*w->desc.userTime) : std::nullopt;
        if (name == ax::StartupId) return w->desc.startupId ? std::optional<AttrValue>(*w->desc.startupId) : std::nullopt;
        if (name == ax::FullScreen) return AttrValue(w->desc.fullScreen);
        if (name == ax::Title) return AttrValue(w->desc.title);
        if (name == ax::Desktop) return AttrValue(static_cast<int64_t>(w->desktop));
        if (name == ax::Main) return AttrValue(a->main == w->id);
        if (name == "AXRole") return AttrValue(std::string("AXWindow"));
        return std::nullopt;
    }
    if (el.kind == AXElement::Kind::Application) {
        SimApp* a = s_->app(appPid(el));
        if (!a || a->unresponsive || a->unreadable.count(name)) return std::nullopt;
        if (name == ax::Windows) {
            std::vector<AXElement> list;
            for (uint64_t id : a->windows) list.push_back(AXElement::window(id));
            return AttrValue(std::move(list));
        }
        if (name == ax::FocusedWindow) {
            if (!a->focused) return std::nullopt;
            return AttrValue(AXElement::window(a->focused));
        }
        if (name == ax::EnhancedUserInterface) {
            if (!a->enhancedUI) return std::nullopt;
            return AttrValue(*a->enhancedUI);
        }
        if (name == ax::Title) {
            if (!a->info.localizedName) return std::nullopt;
            return AttrValue(*a->info.localizedName);
        }
        if (name == "AXRole") return AttrValue(std::string("AXApplication"));
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<int32_t> SimDesktop::pidOf(const AXElement& el) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->window(el)) return w->pid;
    if (el.kind == AXElement::Kind::Application) return appPid(el);
    return std::nullopt;
}

std::optional<uint32_t> SimDesktop::windowNumber(const AXElement& el) {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->window(el);
    if (!w || !w->desc.hasNumber) return std::nullopt;
    return static_cast<uint32_t>(w->id);
}

bool SimDesktop::isProcessTrusted() {
    std::lock_guard lock(s_->m);
    return s_->trusted;
}

// ---------------------------------------------------------------- writes

namespace {

// What a write does to the desktop; the caller holds the lock.
bool apply(State& s, const AXElement& el, WriteKind kind, const AttrValue* value) {
    if (!s.trusted) return false;
    if (kind == WriteKind::EnhancedUI) {
        SimApp* a = el.kind == AXElement::Kind::Application ? s.app(appPid(el)) : nullptr;
        if (!a || a->unresponsive || !std::holds_alternative<bool>(*value)) return false;
        a->enhancedUI = std::get<bool>(*value);
        return true;
    }
    SimWindow* w = s.openWindow(el);
    SimApp* a = w ? s.app(w->pid) : nullptr;
    if (!a || a->unresponsive) return false;
    const bool* flag = value ? std::get_if<bool>(value) : nullptr;
    switch (kind) {
        case WriteKind::Position: {
            auto* p = std::get_if<Point>(value);
            if (!p || w->desc.fullScreen) return false;
            w->frame.x = p->x;
            w->frame.y = p->y;
            return true;
        }
        case WriteKind::Size: {
            auto* sz = std::get_if<Size>(value);
            if (!sz || w->desc.fullScreen || w->desc.refuseResize) return false;
            const Size got = constrainSize(w->desc, *sz);
            w->frame.width = got.width;
            w->frame.height = got.height;
            return true;
        }
        case WriteKind::Main:
            if (!flag) return false;
            if (*flag) {
                a->main = w->id;
                s.setFocused(*a, w->id);
            } else if (a->main == w->id) {
                a->main = 0;
            }
            return true;
        case WriteKind::Minimized:
            if (!flag) return false;
            s.setMinimized(*w, *flag);
            return true;
        case WriteKind::Raise:
            s.raise(*w);
            if (!w->desc.minimized) s.setFocused(*a, w->id);
            return true;
        case WriteKind::EnhancedUI: break;
    }
    return false;
}

}  // namespace

bool SimDesktop::write(const AXElement& el, WriteKind kind, const AttrValue* value) {
    double cost;
    {
        std::lock_guard lock(s_->m);
        std::optional<int32_t> pid;
        if (el.kind == AXElement::Kind::Application) pid = appPid(el);
        else if (SimWindow* w = s_->window(el)) pid = w->pid;
        SimApp* a = pid ? s_->app(*pid) : nullptr;
        cost = a && a->writeCost ? *a->writeCost : s_->writeCost;
    }
    spend(cost);

    std::function<void(const WriteRecord&)> hook;
    bool ok;
    {
        std::lock_guard lock(s_->m);
        ok = apply(*s_, el, kind, value);
        count(s_->counts[el], kind);
        hook = s_->writeHook;
        if (s_->logOn)
            s_->log.push_back({el, kind, value ? std::optional(*value) : std::nullopt, std::this_thread::get_id(), ok});
    }
    if (hook) hook({el, kind, value ? std::optional(*value) : std::nullopt, std::this_thread::get_id(), ok});
    return ok;
}

bool SimDesktop::setAttribute(const AXElement& el, std::string_view name, const AttrValue& value) {
    if (name == ax::DemandsAttention) {
        // What a taskbar would show; not a write the strip makes, so not counted.
        std::lock_guard lock(s_->m);
        SimWindow* w = s_->openWindow(el);
        const bool* wants = std::get_if<bool>(&value);
        if (w && wants) w->desc.demandsAttention = *wants;
        return w && wants;
    }
    // The application goes full screen (or back) as asked, as its own menu
    // would, and the desktop announces it as the X11 one does.
    if (name == ax::FullScreen && el.isWindow()) {
        const bool* on = std::get_if<bool>(&value);
        if (!on || isClosed(el)) return false;
        setFullScreen(el, *on);
        postActiveSpaceChange();
        return true;
    }
    const std::optional<WriteKind> kind = writeKind(name);
    if (!kind) return false;
    if ((*kind == WriteKind::EnhancedUI) != (el.kind == AXElement::Kind::Application)) return false;
    return write(el, *kind, &value);
}

bool SimDesktop::performAction(const AXElement& el, std::string_view action) {
    // Every simulated application closes a window when asked, without a question.
    if (action == ax::Close && el.isWindow()) return closeWindow(el);
    if (action != ax::Raise || !el.isWindow()) return false;
    return write(el, WriteKind::Raise, nullptr);
}

void SimDesktop::setWriteHook(std::function<void(const WriteRecord&)> hook) {
    std::lock_guard lock(s_->m);
    s_->writeHook = std::move(hook);
}

void SimDesktop::setWriteCost(double seconds) {
    std::lock_guard lock(s_->m);
    s_->writeCost = seconds;
}

void SimDesktop::setWriteCost(int32_t pid, double seconds) {
    std::lock_guard lock(s_->m);
    if (SimApp* a = s_->app(pid)) a->writeCost = seconds;
}

WriteCounts SimDesktop::writes(const AXElement& el) const {
    std::lock_guard lock(s_->m);
    auto it = s_->counts.find(el);
    return it == s_->counts.end() ? WriteCounts{} : it->second;
}

WriteCounts SimDesktop::totals() const {
    std::lock_guard lock(s_->m);
    WriteCounts t;
    for (auto& [el, c] : s_->counts) {
        t.position += c.position;
        t.size += c.size;
        t.main += c.main;
        t.raise += c.raise;
        t.enhancedUI += c.enhancedUI;
        t.minimized += c.minimized;
    }
    return t;
}

void SimDesktop::resetCounts() {
    std::lock_guard lock(s_->m);
    s_->counts.clear();
    s_->log.clear();
}

void SimDesktop::enableWriteLog(bool on) {
    std::lock_guard lock(s_->m);
    s_->logOn = on;
}

std::vector<WriteRecord> SimDesktop::writeLog() const {
    std::lock_guard lock(s_->m);
    return s_->log;
}

// ---------------------------------------------------------------- applications

std::vector<RunningApp> SimDesktop::runningApplications() {
    std::lock_guard lock(s_->m);
    std::vector<RunningApp> out;
    for (int32_t pid : s_->appOrder) out.push_back(s_->apps.at(pid).info);
    return out;
}

std::optional<RunningApp> SimDesktop::runningApplication(int32_t pid) {
    std::lock_guard lock(s_->m);
    return s_->info(pid);
}

std::optional<RunningApp> SimDesktop::frontmostApplication() {
    std::lock_guard lock(s_->m);
    return s_->info(s_->frontmost);
}

bool SimDesktop::activate(int32_t pid) {
    std::lock_guard lock(s_->m);
    SimApp* a = s_->app(pid);
    if (!a) return false;
    ++a->activations;
    s_->activate(pid);
    return true;
}

int64_t SimDesktop::activations(int32_t pid) const {
    std::lock_guard lock(s_->m);
    SimApp* a = s_->app(pid);
    return a ? a->activations : 0;
}

int32_t SimDesktop::ownPid() {
    std::lock_guard lock(s_->m);
    return s_->own;
}

void SimDesktop::setOwnPid(int32_t pid) {
    std::lock_guard lock(s_->m);
    s_->own = pid;
}

bool SimDesktop::launchApplication(const std::string& bundleIdentifier, const std::string& startupId) {
    std::lock_guard lock(s_->m);
    s_->launchRequests.push_back(bundleIdentifier);
    for (int32_t pid : s_->appOrder) {
        if (s_->apps.at(pid).info.bundleIdentifier == bundleIdentifier) {
            s_->activate(pid);
            return true;
        }
    }
    auto it = s_->installables.find(bundleIdentifier);
    if (it == s_->installables.end()) return false;
    s_->loop.after(it->second.delay, [w = std::weak_ptr<State>(s_), bundleIdentifier, startupId] {
        if (auto s = w.lock()) {
            std::lock_guard lock(s->m);
            s->finishLaunch(bundleIdentifier, startupId);
        }
    });
    return true;
}

bool SimDesktop::isApplicationInstalled(const std::string& bundleIdentifier) {
    std::lock_guard lock(s_->m);
    if (s_->installables.count(bundleIdentifier)) return true;
    return std::any_of(s_->apps.begin(), s_->apps.end(),
                       [&](auto& e) { return e.second.info.bundleIdentifier == bundleIdentifier; });
}

int32_t SimDesktop::addApp(const AppSpec& desc) {
    std::lock_guard lock(s_->m);
    return s_->addApp(desc);
}

bool SimDesktop::quitApp(int32_t pid) {
    std::lock_guard lock(s_->m);
    SimApp* a = s_->app(pid);
    if (!a) return false;
    const std::vector<uint64_t> open = a->windows;
    for (uint64_t id : open) s_->close(s_->windows.at(id));
    const RunningApp info = a->info;
    s_->apps.erase(pid);
    std::erase(s_->appOrder, pid);
    if (s_->frontmost == pid) s_->frontmost = 0;
    s_->postWorkspace(WorkspaceEvent::DidTerminateApplication, info);
    return true;
}

void SimDesktop::registerInstallable(const std::string& bundleID, const AppSpec& desc, double delaySeconds,
                                     std::vector<WindowPlan> windowsToOpen) {
    std::lock_guard lock(s_->m);
    s_->installables[bundleID] = SimInstallable{desc, delaySeconds, std::move(windowsToOpen)};
}

void SimDesktop::uninstall(const std::string& bundleID) {
    std::lock_guard lock(s_->m);
    s_->installables.erase(bundleID);
}

std::vector<std::string> SimDesktop::launchRequests() const {
    std::lock_guard lock(s_->m);
    return s_->launchRequests;
}

void SimDesktop::setEnhancedUI(int32_t pid, std::optional<bool> value) {
    std::lock_guard lock(s_->m);
    if (SimApp* a = s_->app(pid)) a->enhancedUI = value;
}

std::optional<bool> SimDesktop::enhancedUI(int32_t pid) const {
    std::lock_guard lock(s_->m);
    SimApp* a = s_->app(pid);
    return a ? a->enhancedUI : std::nullopt;
}

void SimDesktop::setUnresponsive(int32_t pid, bool unresponsive) {
    std::lock_guard lock(s_->m);
    if (SimApp* a = s_->app(pid)) a->unresponsive = unresponsive;
}

void SimDesktop::setRefusesObservers(int32_t pid, bool refuses) {
    std::lock_guard lock(s_->m);
    if (SimApp* a = s_->app(pid)) a->refusesObservers = refuses;
}

void SimDesktop::setTrusted(bool trusted) {
    std::lock_guard lock(s_->m);
    s_->trusted = trusted;
}

bool SimDesktop::takeOver() {
    setTrusted(true);
    return true;
}

// ---------------------------------------------------------------- windows

AXElement SimDesktop::addWindow(int32_t pid, const Rect& frameAX, const WindowSpec& desc) {
    std::lock_guard lock(s_->m);
    const uint64_t id = s_->addWindow(pid, frameAX, desc);
    return id ? AXElement::window(id) : AXElement{};
}

bool SimDesktop::closeWindow(const AXElement& el) {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(el);
    if (!w) return false;
    s_->close(*w);
    return true;
}

void SimDesktop::setMinimized(const AXElement& el, bool minimized) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->openWindow(el)) s_->setMinimized(*w, minimized);
}

void SimDesktop::setFullScreen(const AXElement& el, bool fullScreen) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->openWindow(el)) s_->setFullScreen(*w, fullScreen);
}

void SimDesktop::setSubrole(const AXElement& el, std::optional<std::string> subrole) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->window(el)) w->desc.subrole = std::move(subrole);
}

void SimDesktop::setUnreadable(const AXElement& el, std::string_view attribute, bool unreadable) {
    std::lock_guard lock(s_->m);
    std::set<std::string, std::less<>>* set = nullptr;
    if (SimWindow* w = s_->window(el)) set = &w->unreadable;
    else if (SimApp* a = el.kind == AXElement::Kind::Application ? s_->app(appPid(el)) : nullptr) set = &a->unreadable;
    if (!set) return;
    if (unreadable)
        set->emplace(attribute);
    else if (auto it = set->find(attribute); it != set->end())
        set->erase(it);
}

void SimDesktop::setConstraints(const AXElement& el, const WindowSpec& desc) {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->window(el);
    if (!w) return;
    w->desc.minW = desc.minW;
    w->desc.maxW = desc.maxW;
    w->desc.minH = desc.minH;
    w->desc.maxH = desc.maxH;
    w->desc.base = desc.base;
    w->desc.inc = desc.inc;
    w->desc.refuseResize = desc.refuseResize;
}

void SimDesktop::closeAfterReads(const AXElement& el, int reads) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->openWindow(el)) w->readsLeft = std::max(reads, 0);
}

void SimDesktop::setFrame(const AXElement& el, const Rect& frameAX) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->openWindow(el)) w->frame = frameAX;
}

void SimDesktop::focusWindow(const AXElement& el) {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(el);
    if (!w) return;
    s_->activate(w->pid);
    if (w->desc.minimized) s_->setMinimized(*w, false);
    s_->raise(*w);
    s_->setFocused(*s_->app(w->pid), w->id);
}

void SimDesktop::setDemandsAttention(const AXElement& el, bool wants) {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(el);
    if (!w || w->desc.demandsAttention == wants) return;
    w->desc.demandsAttention = wants;
    s_->notifyAX(w->pid, el, ax::AttentionChanged);
}

void SimDesktop::setUserTime(const AXElement& el, std::optional<int64_t> time) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->openWindow(el)) w->desc.userTime = time;
}

void SimDesktop::dragWindow(const AXElement& el, Point newOrigin) {
    focusWindow(el);
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(el);
    if (!w || w->desc.fullScreen) return;
    w->frame.x = newOrigin.x;
    w->frame.y = newOrigin.y;
    s_->dragging = el;
    postDrag(true);
}

std::optional<Rect> SimDesktop::frameOf(const AXElement& el) const {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->window(el);
    if (!w) return std::nullopt;
    return w->frame;
}

void SimDesktop::assignDisplay(const AXElement& window, std::optional<uint64_t> screenId) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->window(window)) w->display = screenId;
}

std::optional<uint64_t> SimDesktop::assignedDisplay(const AXElement& el) const {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->window(el);
    return w ? w->display : std::nullopt;
}

bool SimDesktop::isClosed(const AXElement& el) const {
    std::lock_guard lock(s_->m);
    return !s_->openWindow(el);
}

bool SimDesktop::isMinimized(const AXElement& el) const {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(el);
    return w && w->desc.minimized;
}

bool SimDesktop::isMain(const AXElement& el) const {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(el);
    SimApp* a = w ? s_->app(w->pid) : nullptr;
    return a && a->main == w->id;
}

std::optional<AXElement> SimDesktop::focusedWindow(int32_t pid) const {
    std::lock_guard lock(s_->m);
    SimApp* a = s_->app(pid);
    if (!a || !a->focused) return std::nullopt;
    return AXElement::window(a->focused);
}

std::vector<AXElement> SimDesktop::windowsOf(int32_t pid) const {
    std::lock_guard lock(s_->m);
    std::vector<AXElement> out;
    if (SimApp* a = s_->app(pid))
        for (uint64_t id : a->windows) out.push_back(AXElement::window(id));
    return out;
}

std::vector<AXElement> SimDesktop::stackingOrder() const {
    std::lock_guard lock(s_->m);
    std::vector<AXElement> out;
    for (auto it = s_->stacking.rbegin(); it != s_->stacking.rend(); ++it)
        if (!s_->windows.at(*it).desc.minimized) out.push_back(AXElement::window(*it));
    return out;
}

ImageRef SimDesktop::capture(const AXElement& window, std::optional<PixelSize>) {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(window);
    if (!w || w->desc.minimized) return nullptr;
    auto img = std::make_shared<Image>();
    img->width = 8;
    img->height = 8;
    // A colour of its own per window, so a test can tell whose picture it got.
    const uint32_t rgb = static_cast<uint32_t>((w->id * 2654435761u) & 0xFFFFFF);
    img->argb.assign(64, 0xFF000000u | rgb);
    return img;
}

std::optional<std::string> SimDesktop::restartRecord(size_t maxBytes) {
    std::lock_guard lock(s_->m);
    if (!s_->restartRecord) return std::nullopt;
    return s_->restartRecord->substr(0, maxBytes + 1);
}

void SimDesktop::setRestartRecord(const std::string& text) {
    std::lock_guard lock(s_->m);
    ++s_->restartRecordWrites;
    if (text.empty()) s_->restartRecord.reset();
    else s_->restartRecord = text;
}

int SimDesktop::restartRecordWrites() const {
    std::lock_guard lock(s_->m);
    return s_->restartRecordWrites;
}

// ---------------------------------------------------------------- displays

std::vector<Screen> SimDesktop::screens() {
    std::lock_guard lock(s_->m);
    return s_->screens;
}

uint64_t SimDesktop::addDisplay(const Rect& frame, std::optional<Rect> visibleFrame, std::string name, double scale) {
    std::lock_guard lock(s_->m);
    const uint64_t id = s_->nextScreenId++;
    s_->screens.push_back(Screen{id, frame, visibleFrame.value_or(frame), name, scale, name});
    s_->postScreensChanged();
    return id;
}

uint64_t SimDesktop::addStandardDisplay(std::string name) {
    double x = 0;
    {
        std::lock_guard lock(s_->m);
        for (const Screen& s : s_->screens) x = std::max(x, s.frame.maxX());
    }
    return addDisplay(Rect(x, 0, 1920, 1080), Rect(x, 0, 1920, 1080 - 25), std::move(name), 1);
}

bool SimDesktop::removeDisplay(uint64_t id) {
    std::lock_guard lock(s_->m);
    const size_t before = s_->screens.size();
    std::erase_if(s_->screens, [&](const Screen& s) { return s.id == id; });
    if (s_->screens.size() == before) return false;
    s_->postScreensChanged();
    return true;
}

void SimDesktop::setDisplays(std::vector<Screen> displays) {
    std::lock_guard lock(s_->m);
    for (Screen& s : displays)
        if (s.id == 0) s.id = s_->nextScreenId++;
    s_->screens = std::move(displays);
    s_->postScreensChanged();
}

}  // namespace tarvela
