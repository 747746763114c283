#include <gtest/gtest.h>

#include <thread>

#include "settings/defaults_file.h"
#include "tests/settings/temp_dir.h"

namespace tarvela {
namespace {

// Threads share one store, and two stores in one process share one file: no
// write may be lost either way.
TEST(FileDefaultsThreads, ConcurrentWritersThroughOneOrTwoStoresLoseNothing) {
    testing::TempDir dir(testing::TempDir::inMemory);
    auto file = dir / "p.plist";
    FileDefaults first(file), second(file);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        FileDefaults& d = t % 2 ? second : first;
        threads.emplace_back([&d, t] {
            for (int i = 0; i < 60; ++i) {
                std::string key = "t" + std::to_string(t) + "-" + std::to_string(i);
                d.set(key, int64_t{i});
                EXPECT_EQ(d.getInt(key), i);
                if (i % 10 == 0) d.keys();
            }
        });
    }
    for (auto& t : threads) t.join();
    FileDefaults r(file);
    EXPECT_EQ(r.keys().size(), 240u);
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 60; ++i) EXPECT_EQ(r.getInt("t" + std::to_string(t) + "-" + std::to_string(i)), i);
    EXPECT_EQ(first.keys().size(), 120u) << "memory holds what this store loaded and wrote";
}

}  // namespace
}  // namespace tarvela
