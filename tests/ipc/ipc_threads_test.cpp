// `tarvela msg` against a running shell: the client blocks on its socket in a
// thread of its own while the test's main thread runs the shell's loop, as
// two processes would.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ipc/ipc_client.h"
#include "settings/app_info.h"
#include "tests/ipc/ipc_support.h"

namespace tarvela::testing {
namespace {

struct Outcome {
    int code = -1;
    std::string out, err;
};

std::string contents(std::FILE* f) {
    std::string s;
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
    std::fclose(f);
    return s;
}

// Runs the command while the loop turns; `during` runs on the loop's thread once the client is connected.
Outcome msg(IpcDesk& desk, std::vector<std::string> args, const std::function<void()>& during = {}) {
    args.insert(args.begin(), {"--socket", desk.socket().string()});
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::atomic<bool> done{false};
    Outcome o;
    std::thread client([&] {
        o.code = ipc::runMsg(args, out, err);
        done = true;
    });
    bool ran = false;
    while (!done) {
        desk.time.loop().pollFds(0.01);
        desk.time.drain();
        if (during && !ran && desk.server().subscriberCount() == 1) {
            desk.pump();  // the subscription's reply goes out first
            ran = true;
            during();
        }
    }
    client.join();
    o.out = contents(out);
    o.err = contents(err);
    return o;
}

TEST(IpcClientThreadsTest, TarvelaMsgSendsOneCommandAndSaysHowItWent) {
    IpcDesk desk;
    ASSERT_TRUE(desk.open());
    EXPECT_EQ(msg(desk, {"jump", "2"}).code, 0);
    EXPECT_EQ(desk.shell->manager.strips()[0]->focusC, 1);
    Outcome v = msg(desk, {"get", "version"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out, AppInfo::version() + "\n");
    EXPECT_EQ(msg(desk, {"--json", "get", "version"}).out, "{\"ok\":true,\"result\":\"" + AppInfo::version() + "\"}\n");
    Outcome bad = msg(desk, {"jump", "0"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.err, "tarvela msg: jump needs a column from 1, not 0\n");
}

TEST(IpcClientThreadsTest, MonitorPrintsEachEventUntilTarvelaGoes) {
    IpcDesk desk;
    ASSERT_TRUE(desk.open());
    ASSERT_EQ(msg(desk, {"jump", "1"}).code, 0);
    Outcome m = msg(desk, {"-m", "subscribe", "focus"}, [&] {
        desk.shell->hotkeys.onAction(Action::jump, 2);
        desk.pump();
        desk.shell->hotkeys.onAction(Action::jump, 3);
        desk.pump();
        desk.shell->scripts.reset();  // Tarvela quits
    });
    EXPECT_EQ(m.code, 2);
    const std::string id2 = std::to_string(desk.shell->manager.strips()[0]->cols[1].items[0].el.id);
    const std::string id3 = std::to_string(desk.shell->manager.strips()[0]->cols[2].items[0].el.id);
    EXPECT_EQ(m.out, "topics: focus\n"
                     "focus application=Term column=2 display=0 row=1 seq=1 window=" + id2 + "\n"
                     "focus application=Term column=3 display=0 row=1 seq=2 window=" + id3 + "\n");
    EXPECT_EQ(m.err, "tarvela msg: Tarvela closed the connection\n");
}

}  // namespace
}  // namespace tarvela::testing
