#include "x11_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/window_access.h"

namespace tarvela::testing {

Child& Child::operator=(Child&& o) noexcept {
    if (this != &o) {
        stop();
        pid_ = o.pid_;
        o.pid_ = -1;
    }
    return *this;
}

bool Child::exited() {
    if (pid_ <= 0) return true;
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return true;
    }
    return false;
}

void Child::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    // Bounded: SIGKILL after half a second of waiting on the process itself.
    for (int i = 0; i < 50; ++i) {
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        pollfd none{};
        poll(&none, 0, 10);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

namespace {
pid_t forkExec(const std::vector<std::string>& argv, const std::string& display, int fd3) {
    std::vector<char*> cargv;
    for (auto& s : argv) cargv.push_back(const_cast<char*>(s.c_str()));
    cargv.push_back(nullptr);
    std::string env = "DISPLAY=" + display;
    pid_t pid = fork();
    if (pid == 0) {
        if (!display.empty()) putenv(env.data());
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        if (fd3 >= 0) dup2(fd3, 3);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    return pid;
}
}  // namespace

Child spawn(const std::vector<std::string>& argv, const std::string& display) {
    return Child(forkExec(argv, display, -1));
}

TestClient::TestClient(const std::string& display) {
    c_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c_)) throw std::runtime_error("test client cannot connect");
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
}

TestClient::~TestClient() { xcb_disconnect(c_); }

xcb_atom_t TestClient::atom(const char* name) {
    auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, strlen(name), name), nullptr);
    xcb_atom_t a = r ? r->atom : XCB_NONE;
    free(r);
    return a;
}

xcb_window_t TestClient::createWindow(int x, int y, int w, int h) {
    xcb_window_t win = xcb_generate_id(c_);
    const uint32_t values[] = {0xffffff, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, win, root_, x, y, w, h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    return win;
}

void TestClient::setCardinals(xcb_window_t w, const char* prop, xcb_atom_t type, const std::vector<uint32_t>& v) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom(prop), type, 32, v.size(), v.data());
}

void TestClient::setString(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, const std::string& s) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, prop, type, 8, s.size(), s.data());
}

std::vector<uint32_t> TestClient::cardinals(xcb_window_t w, const char* prop) {
    auto* r = xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, atom(prop), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
                                     nullptr);
    std::vector<uint32_t> out;
    if (r && r->format == 32) {
        auto* v = static_cast<uint32_t*>(xcb_get_property_value(r));
        out.assign(v, v + xcb_get_property_value_length(r) / 4);
    }
    free(r);
    return out;
}

void TestClient::rootMessage(xcb_window_t w, const char* type, std::vector<uint32_t> data) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = w;
    ev.type = atom(type);
    data.resize(5);
    for (int i = 0; i < 5; ++i) ev.data.data32[i] = data[i];
    xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c_);
}

void TestClient::announce(const std::string& text) {
    const xcb_window_t from = createWindow(0, 0, 1, 1);
    const std::string whole = text + '\0';
    for (size_t at = 0; at < whole.size(); at += 20) {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 8;
        ev.window = from;
        ev.type = atom(at == 0 ? "_NET_STARTUP_INFO_BEGIN" : "_NET_STARTUP_INFO");
        std::memcpy(ev.data.data8, whole.data() + at, std::min<size_t>(20, whole.size() - at));
        xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&ev));
    }
    xcb_flush(c_);
}

TestClient::Geom TestClient::geometry(xcb_window_t w) {
    auto* r = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
    Geom g{0, 0, 0, 0, r != nullptr};
    if (r) {
        // Root coordinates, whatever the parent (another window manager may reparent).
        auto* t = xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w, root_, 0, 0), nullptr);
        g = {t ? t->dst_x : r->x, t ? t->dst_y : r->y, r->width, r->height, true};
        free(t);
    }
    free(r);
    return g;
}

xcb_window_t TestClient::parent(xcb_window_t w) {
    auto* r = xcb_query_tree_reply(c_, xcb_query_tree(c_, w), nullptr);
    const xcb_window_t p = r ? r->parent : XCB_NONE;
    free(r);
    return p;
}

bool TestClient::viewable(xcb_window_t w) {
    auto* r = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr);
    bool v = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    free(r);
    return v;
}

xcb_window_t TestClient::selectionOwner(const char* selection) {
    auto* r = xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, atom(selection)), nullptr);
    xcb_window_t w = r ? r->owner : XCB_NONE;
    free(r);
    return w;
}

void TestClient::motion(int x, int y) {
    xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, x, y, 0);
    sync();
}
void TestClient::button(int b, bool press) {
    xcb_test_fake_input(c_, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, b, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}
void TestClient::key(uint8_t keycode, bool press) {
    xcb_test_fake_input(c_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

uint32_t TestClient::takeProtocolMessage(xcb_window_t w, uint32_t* time) {
    const xcb_atom_t protocols = atom("WM_PROTOCOLS");
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
        uint32_t found = 0;
        if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
            if (m->window == w && m->type == protocols) {
                found = m->data.data32[0];
                if (time) *time = m->data.data32[1];
            }
        }
        free(e);
        if (found) return found;
    }
    return 0;
}

void TestClient::sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

void X11Test::SetUp() {
    char tmpl[] = "/tmp/tarvela-x11-XXXXXX";
    tmp_ = mkdtemp(tmpl);
    startDisplay();
    if (HasFatalFailure()) return;
    // Programs we launch ourselves (launchApplication) must land on this display.
    setenv("DISPLAY", display_.c_str(), 1);
    setenv("XDG_DATA_HOME", (tmp_ + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (tmp_ + "/cache").c_str(), 1);  // tint2 keeps its icons there
    tc_ = std::make_unique<TestClient>(display_);
}

void X11Test::startServer(const std::string& display) {
    std::vector<std::string> argv{"Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "+extension", "RANDR",
                                  "+extension", "COMPOSITE", "-nolisten", "tcp", "-noreset"};
    if (!display.empty()) argv.insert(argv.begin() + 1, display);
    launchServer(argv);
}

void X11Test::launchServer(const std::vector<std::string>& argv) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = forkExec(argv, "", fds[1]);
    close(fds[1]);
    xvfb_ = Child(pid);
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0) {
        char buf[16];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, n);
        if (number.find('\n') != std::string::npos) break;
    }
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << argv[0] << " did not start";
    display_ = ":" + number.substr(0, number.find('\n'));
}

void X11Test::TearDown() {
    // Whatever a test did, Tarvela's records and the server still agree.
    if (wm_ && wm_->sync())
        for (const std::string& bad : wm_->checkInvariants()) ADD_FAILURE() << bad;
    wm_.reset();
    tc_.reset();
    xvfb_.stop();
    std::error_code ec;
    std::filesystem::remove_all(tmp_, ec);
}

bool X11Test::waitFor(const std::function<bool()>& pred, double seconds) {
    const double deadline = loop_.now() + seconds;
    while (!pred()) {
        if (loop_.now() >= deadline) return pred();
        // Short rounds: some predicates ask the server rather than wait for an event.
        loop_.runOnce(0.01);
    }
    return true;
}

void X11Test::startPlatform(bool replace) {
    X11Options o = options_;
    o.display = display_;
    o.replace = replace;
    wm_ = std::make_unique<X11Platform>(loop_, o);
}

bool X11Test::run(const std::vector<std::string>& argv) {
    Child c = client(argv);
    return waitFor([&] { return c.exited(); });
}

void X11Test::twoMonitors() {
    ASSERT_TRUE(run({"xrandr", "--setmonitor", "L", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(run({"xrandr", "--setmonitor", "R", "960/254x1080/286+960+0", "none"}));
    if (wm_) {
        ASSERT_TRUE(waitFor([&] { return wm_->screens().size() == 2; }));
    }
}

AXElement X11Test::windowOf(pid_t pid, double seconds) {
    AXElement found;
    waitFor(
        [&] {
            auto v = attr<std::vector<AXElement>>(*wm_, AXElement::application(pid), ax::Windows);
            if (v && !v->empty()) found = v->front();
            return bool(found);
        },
        seconds);
    return found;
}

xcb_window_t X11Test::managedWindow(uint32_t pid, Rect r, const std::function<void(xcb_window_t)>& before) {
    const xcb_window_t w = tc_->createWindow(int(r.x), int(r.y), int(r.width), int(r.height));
    tc_->setCardinals(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {pid});
    if (before) before(w);
    xcb_map_window(tc_->c(), w);
    tc_->sync();
    EXPECT_TRUE(waitFor([&] { return frame(*wm_, AXElement::window(w)).has_value(); })) << "never managed";
    return w;
}

std::string X11Test::openboxConfig() {
    // No key bindings: openbox's defaults would hold combinations we test elsewhere.
    std::string path = tmp_ + "/rc.xml";
    std::ofstream(path) << "<?xml version=\"1.0\"?>\n"
                           "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                           "  <keyboard></keyboard>\n"
                           "  <desktops><number>1</number></desktops>\n"
                           "</openbox_config>\n";
    return path;
}

}  // namespace tarvela::testing
