// Desktop notifications and the "show update" signal on a private session bus
// with a real notification server (dunst, on a private Xvfb). dunst hands the
// choice among a notification's actions to its menu program; here that is a
// script that picks the action the test wrote down.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/dbus_bridge.h"
#include "ipc/single_instance.h"
#include "tests/settings/temp_dir.h"
#include "tests/updates/loopback_http.h"
#include "tests/updates/update_support.h"

namespace tarvela::testing {
namespace {

using Answer = UpdateNotifications::Answer;

// argv in this process's environment, output to nowhere, `fd3` as descriptor 3.
pid_t launch(std::vector<std::string> argv, int fd3 = -1) {
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        if (fd3 >= 0) ::dup2(fd3, 3);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

void end(pid_t& pid) {
    if (pid > 0) ::kill(pid, SIGTERM), ::waitpid(pid, nullptr, 0);
    pid = -1;
}

std::string output(const std::string& command) {
    std::string out;
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    ::pclose(p);
    return out;
}

// Runs Qt's events until pred holds; false when `seconds` pass first.
bool waitFor(const std::function<bool()>& pred, double seconds = 10) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// One X server and bus for all tests of a run: Qt keeps its session-bus
// connection for the life of the process.
class NotificationsDbusTest : public ::testing::Test {
protected:
    static inline TempDir* tmp = nullptr;
    static inline pid_t xvfb = -1, bus = -1, dunst = -1;

    static void SetUpTestSuite() {
        tmp = new TempDir;
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        // -noreset: a server that resets when its last client goes writes
        // its number again, to a pipe nobody reads any more, and dies.
        xvfb = launch({"Xvfb", "-displayfd", "3", "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset"}, fds[1]);
        ::close(fds[1]);
        char number[16] = {};
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 10000) > 0 && ::read(fds[0], number, sizeof number - 1) > 0)
            ::setenv("DISPLAY", (":" + std::string(number, std::strcspn(number, "\n"))).c_str(), 1);
        ::close(fds[0]);
        // A bus that starts no services itself: the notification server is
        // there exactly while a test runs it.
        const std::string socket = (*tmp / "bus").string();
        std::ofstream(*tmp / "bus.conf") << "<busconfig><type>session</type><listen>unix:path=" << socket
                                         << "</listen><policy context=\"default\"><allow send_destination=\"*\" "
                                            "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                            "</policy></busconfig>\n";
        bus = launch({"dbus-daemon", "--nofork", "--config-file=" + (*tmp / "bus.conf").string()});
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
        std::ofstream(*tmp / "menu.sh") << "#!/bin/sh\ngrep -m1 \"$(cat '" << (*tmp / "choice").string() << "')\"\n";
        std::filesystem::permissions(*tmp / "menu.sh", std::filesystem::perms::owner_all);
        // Notifications stay until something takes them away.
        std::ofstream(*tmp / "dunstrc") << "[global]\ndmenu = " << (*tmp / "menu.sh").string()
                                        << "\n[urgency_normal]\ntimeout = 0\n";
        static int argc = 1;
        static char name[] = "app_dbus_tests", *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        waitFor([&] { return ::access(socket.c_str(), F_OK) == 0; });
    }
    static void TearDownTestSuite() {
        end(bus);
        end(xvfb);
        delete tmp;
    }
    void TearDown() override { end(dunst); }

    void startDunst() {
        dunst = launch({"dunst", "-config", (*tmp / "dunstrc").string()});
        ASSERT_TRUE(waitFor([] { return output("dunstctl is-paused").find("false") != std::string::npos; }));
    }
    static int displayed() { return std::atoi(output("dunstctl count displayed").c_str()); }
    void show(DbusNotifications& n, const std::string& version) {
        ASSERT_EQ(n.post({"update-" + version, "Tarvela " + version + " is available", "Smoother scrolling and fixes.",
                          {{"INSTALL", "Install"}, {"LATER", "Later"}, {"default", "Open"}}}),
                  std::nullopt);
        ASSERT_TRUE(waitFor([] { return displayed() == 1; }));
    }
    static void choose(const std::string& label) {
        std::ofstream(*tmp / "choice") << "#" << label << " ";
        output("dunstctl context");
    }
};

TEST_F(NotificationsDbusTest, EachAnswerReachesTheProcessThatPosted) {
    DbusNotifications n;
    EXPECT_FALSE(n.allowed());  // nobody serves notifications yet
    startDunst();
    ASSERT_TRUE(n.allowed());
    show(n, "1.2");
    choose("Install");
    EXPECT_EQ(n.waitForAnswer(10), Answer::install);
    show(n, "1.3");
    output("dunstctl action 0");  // a click on the notification
    EXPECT_EQ(n.waitForAnswer(10), Answer::install);
    show(n, "1.4");
    choose("Later");
    EXPECT_EQ(n.waitForAnswer(10), Answer::later);
    show(n, "1.5");
    output("dunstctl close");
    EXPECT_EQ(n.waitForAnswer(10), Answer::dismissed);
    show(n, "1.6");
    EXPECT_EQ(n.waitForAnswer(0.3), Answer::unanswered);
    EXPECT_TRUE(waitFor([] { return displayed() == 0; }));  // withdrawn, not left with dead buttons
    EXPECT_NE(output("dunstctl history").find("Tarvela 1.5 is available"), std::string::npos);
}

TEST_F(NotificationsDbusTest, AnyProcessCanAskForTheUpdateWindow) {
    int asked = 0;
    ShowUpdateListener listener([&] { ++asked; });
    ASSERT_TRUE(listener.listening());
    output("dbus-send --session --type=signal /app/tarvela app.tarvela.somethingElse");
    output("dbus-send --session --type=signal /app/tarvela app.tarvela.showUpdate");
    EXPECT_TRUE(waitFor([&] { return asked == 1; }));
    ASSERT_TRUE(sendShowUpdate());
    EXPECT_TRUE(waitFor([&] { return asked == 2; }));
}

#ifdef TARVELA_EXE
// The background check as the timer runs it: its notification on screen, a
// Tarvela started meanwhile, and "Install" asking that one for its window.
TEST_F(NotificationsDbusTest, TheBackgroundCheckEndToEnd) {
    startDunst();
    LoopbackHttp http;
    http.set("/feed", 200, appcast({{"1.2"}, {"99.10"}}));
    ::setenv("XDG_RUNTIME_DIR", (*tmp / "run").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (*tmp / "state").c_str(), 1);
    ::setenv("TARVELA_DEFAULTS", (*tmp / "app.tarvela.plist").c_str(), 1);
    ::setenv("TARVELA_FEED_URL", http.url("/feed").c_str(), 1);
    pid_t check = launch({TARVELA_EXE, "--notify-check"});
    ASSERT_TRUE(waitFor([] { return displayed() == 1; }));
    auto tarvela = SingleInstance::acquire(*tmp / "run", SingleInstance::nameFor(":5"), 0);
    int asked = 0, status = -1;
    ShowUpdateListener listener([&] { ++asked; });
    choose("Install");
    EXPECT_TRUE(waitFor([&] { return asked == 1; }));
    EXPECT_TRUE(waitFor([&] { return ::waitpid(check, &status, WNOHANG) == check; }));
    EXPECT_EQ(status, 0);
    if (status == -1) end(check);
    std::stringstream log;
    log << std::ifstream(*tmp / "state" / "tarvela" / "notifier.log").rdbuf();
    EXPECT_NE(log.str().find("Z posted: 99.10\n"), std::string::npos) << log.str();
    EXPECT_NE(log.str().find("Z install: asked the running Tarvela for its update window\n"), std::string::npos);
}
#endif

}  // namespace
}  // namespace tarvela::testing
