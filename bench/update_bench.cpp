// The update check's costs:
//   notify_check_ms  one whole background check, the tarvela executable run as
//                    the timer runs it, from start to exit, against a feed on
//                    loopback that has nothing newer (the usual run); median
//                    of 21 runs. The run that finds a newer version and meets
//                    no notification server goes to stderr.
//   feed_parse_us    reading a 200-item appcast: the background check's
//                    version scan and the in-app item parse; median.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/updates/loopback_http.h"
#include "tests/updates/update_support.h"
#include "updates/appcast.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

#ifdef TARVELA_EXE
// Milliseconds from fork to the exit of one check; negative when it failed.
double timedCheck(const std::vector<std::string>& env) {
    std::vector<char*> envp;
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(TARVELA_EXE), const_cast<char*>("--notify-check"), nullptr};
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execve(TARVELA_EXE, argv, envp.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}
#endif

}  // namespace

int main() {
    using namespace tarvela;
    using namespace tarvela::testing;

    std::vector<FeedItem> items;
    for (int i = 0; i < 200; ++i)
        items.push_back({"1." + std::to_string(i), "https://tarvela.app/Tarvela-1." + std::to_string(i) + ".tar.gz",
                         "123456", "c2lnbmF0dXJl"});
    const std::string feed = appcast(items);

    std::vector<double> parse;
    size_t sink = 0;
    for (int round = 0; round < 201; ++round) {
        const auto start = Clock::now();
        sink += highestVersion(versionsIn(feed))->size();
        sink += parseAppcast(feed)->size();
        parse.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    if (sink == 0) return 1;

#ifdef TARVELA_EXE
    LoopbackHttp http;
    if (!http.ok()) return 1;
    http.set("/feed", 200, appcast({{"0.0.1"}, {"0.0.2"}}));
    http.set("/newer", 200, appcast({{"99.0"}}));
    char tmpl[] = "/tmp/tarvela-update-bench-XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    const std::string tmp = tmpl;
    auto env = [&](const std::string& feedPath) {
        return std::vector<std::string>{"HOME=" + tmp,
                                        "PATH=/usr/bin:/bin",
                                        "XDG_STATE_HOME=" + tmp + "/state",
                                        "XDG_RUNTIME_DIR=" + tmp,
                                        "TARVELA_DEFAULTS=" + tmp + "/app.tarvela.plist",
                                        "TARVELA_FEED_URL=" + http.url(feedPath),
                                        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + tmp + "/no-bus"};
    };
    std::vector<double> runs;
    for (int i = 0; i < 21; ++i) {
        const double ms = timedCheck(env("/feed"));
        if (ms < 0) {
            std::fprintf(stderr, "update_bench: the background check failed\n");
            return 1;
        }
        runs.push_back(ms);
    }
    std::vector<double> newer;
    for (int i = 0; i < 5; ++i) {
        std::filesystem::remove(tmp + "/app.tarvela.plist");  // forget the version notified
        newer.push_back(timedCheck(env("/newer")));
    }
    std::error_code ec;
    std::filesystem::remove_all(tmp, ec);
    std::fprintf(stderr, "update_bench: a check that finds a newer version, no notification server: %.1f ms\n",
                 median(newer));
    std::printf("BENCH notify_check_ms %.1f ms\n", median(runs));
#else
    std::fprintf(stderr, "update_bench: no tarvela executable in this build; notify_check_ms not measured\n");
#endif
    std::printf("BENCH feed_parse_us %.1f us\n", median(parse));
    return 0;
}
