// Programs Tarvela starts write into its log: their output and error are its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/processes.h"

namespace tarvela::testing {

TEST(Processes, ADetachedProgramSaysItsLinesWhereTarvelaSaysItsOwn) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::fflush(stdout);
    const int out = ::dup(1), err = ::dup(2);
    ::dup2(fds[1], 1), ::dup2(fds[1], 2), ::close(fds[1]);
    const bool started = startDetached({"sh", "-c", "echo said; echo complained >&2; read -r l || echo no input"});
    ::dup2(out, 1), ::dup2(err, 2), ::close(out), ::close(err);
    ASSERT_TRUE(started);
    std::string heard;  // until the program ends: nobody else holds the pipe
    char buf[256];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) heard.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    EXPECT_EQ(heard, "said\ncomplained\nno input\n");
}

TEST(Processes, PathLookupFindsOnlyExecutables) {
    EXPECT_TRUE(programExists("sh"));
    EXPECT_TRUE(programExists("/bin/sh"));
    EXPECT_FALSE(programExists("tarvela-no-such-program"));
    EXPECT_FALSE(programExists("/etc/passwd"));  // there, but not to be run
}

}  // namespace tarvela::testing
