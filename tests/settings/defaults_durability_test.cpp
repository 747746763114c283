// The defaults file against writers that die mid-write and writers that race:
// real processes (fork), killed with SIGKILL at random moments.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/defaults_file.h"
#include "settings/plist.h"
#include "tests/settings/temp_dir.h"

namespace tarvela {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A value that tells whether it is whole: its sequence number, then a payload
// whose length and contents follow from that number (so files of different
// lengths alternate and a torn one cannot pass).
std::string stateFor(int64_t seq) {
    std::string payload(static_cast<size_t>(seq * 7919 % 6000), static_cast<char>('a' + seq % 26));
    return std::to_string(seq) + ":" + payload;
}

std::optional<int64_t> seqOfState(const std::string& s) {
    size_t colon = s.find(':');
    if (colon == std::string::npos) return std::nullopt;
    int64_t seq = std::stoll(s.substr(0, colon));
    if (stateFor(seq) != s) return std::nullopt;
    return seq;
}

// Reads whole int64 messages until the writer's end closes; gives the last.
std::optional<int64_t> drainLast(int fd) {
    std::optional<int64_t> last;
    int64_t v;
    std::string buf;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        buf.append(chunk, static_cast<size_t>(n));
    }
    for (size_t i = 0; i + sizeof v <= buf.size(); i += sizeof v) {
        std::memcpy(&v, buf.data() + i, sizeof v);
        last = v;
    }
    return last;
}

bool readExactly(int fd, void* out, size_t size) {
    auto* p = static_cast<char*>(out);
    while (size) {
        ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

uint64_t testSeed() {
    if (const char* s = std::getenv("TARVELA_TEST_SEED")) return std::stoull(s);
    return std::random_device{}();
}

TEST(DefaultsDurability, AWriterKilledAtAnyMomentLeavesTheOldFileOrTheNew) {
    uint64_t seed = testSeed();
    std::printf("seed %llu (set TARVELA_TEST_SEED to repeat)\n", static_cast<unsigned long long>(seed));
    std::mt19937_64 rng(seed);
    testing::TempDir dir(testing::TempDir::inMemory);
    fs::path file = dir / "app.tarvela.plist";

    // Keys of "the other process", which no kill may cost.
    std::map<std::string, DefaultsValue> others;
    for (int i = 0; i < 30; ++i) {
        others["other" + std::to_string(i)] = i % 3 == 0   ? DefaultsValue(int64_t{i})
                                               : i % 3 == 1 ? DefaultsValue(std::string(i * 10, 'o'))
                                                            : DefaultsValue(Data(static_cast<size_t>(i), uint8_t(i)));
    }
    {
        FileDefaults d(file);
        for (auto& [k, v] : others) d.set(k, v);
    }

    int64_t committed = 0;  // the newest state known to be on disk
    for (int round = 0; round < 200; ++round) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            FileDefaults d(file);
            auto current = d.getString("state");
            int64_t seq = current ? seqOfState(*current).value_or(-1000000) : 0;
            for (int i = 0; i < 100000; ++i) {
                ++seq;
                d.set("state", stateFor(seq));
                if (::write(fds[1], &seq, sizeof seq) != sizeof seq) ::_exit(2);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        // Let it finish a random number of writes, then kill it somewhere in
        // the next one (or between two) after a random delay.
        int writes = std::uniform_int_distribution<int>(0, 3)(rng);
        int64_t seen = committed;
        for (int i = 0; i < writes; ++i) ASSERT_TRUE(readExactly(fds[0], &seen, sizeof seen));
        volatile uint64_t spin = 0;
        for (uint64_t n = std::uniform_int_distribution<uint64_t>(0, 300000)(rng); n; --n) spin = spin + 1;
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the writer stopped on its own";
        if (auto last = drainLast(fds[0])) seen = *last;
        ::close(fds[0]);

        std::string text = slurp(file);
        auto dict = PlistDict::parse(text);
        ASSERT_TRUE(dict) << "round " << round << ": torn file:\n" << text.substr(0, 400);
        auto values = dict->values();
        for (auto& [k, v] : others) ASSERT_EQ(values[k], v) << "round " << round << " lost " << k;
        int64_t onDisk = 0;
        if (values.count("state")) {
            auto* s = std::get_if<std::string>(&values["state"]);
            ASSERT_TRUE(s) << "round " << round;
            auto seq = seqOfState(*s);
            ASSERT_TRUE(seq) << "round " << round << ": state not whole";
            onDisk = *seq;
        }
        // Every write the writer reported done is on disk; at most the one it
        // was reporting when killed is there besides.
        ASSERT_TRUE(onDisk == seen || onDisk == seen + 1)
            << "round " << round << ": on disk " << onDisk << ", last reported " << seen;
        committed = onDisk;
    }
    int corrupt = 0, temporaries = 0;
    for (auto& e : fs::directory_iterator(dir.path())) {
        std::string name = e.path().filename().string();
        corrupt += name.find(".corrupt-") != std::string::npos;
        temporaries += name.find(".tmp-") != std::string::npos;
    }
    EXPECT_EQ(corrupt, 0) << "nothing was ever set aside";
    EXPECT_LE(temporaries, 1) << "leftovers are cleaned at the next write";
    EXPECT_GT(committed, 0);
}

TEST(DefaultsDurability, TwoProcessesWritingAtOnceKeepEachOthersKeys) {
    testing::TempDir dir(testing::TempDir::inMemory);
    fs::path file = dir / "app.tarvela.plist";
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> pids;
    for (char who : {'a', 'b'}) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(go[1]);
            FileDefaults d(file);  // both open the store before either writes
            char c;
            if (::read(go[0], &c, 1) != 0) ::_exit(3);  // start together when the pipe closes
            for (int i = 0; i < 500; ++i) {
                d.set(std::string(1, who) + std::to_string(i), int64_t{i});
                if (!d.lastWriteOk()) ::_exit(4);
            }
            ::_exit(0);
        }
        pids.push_back(pid);
    }
    ::close(go[0]);
    ::close(go[1]);
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    FileDefaults r(file);
    EXPECT_EQ(r.keys().size(), 1000u);
    for (char who : {'a', 'b'})
        for (int i = 0; i < 500; ++i) EXPECT_EQ(r.getInt(std::string(1, who) + std::to_string(i)), i);
}

}  // namespace
}  // namespace tarvela
