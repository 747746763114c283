#include "core/processes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "core/xdg_dirs.h"

extern char** environ;

namespace tarvela {
namespace {

std::vector<char*> cArgs(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const std::string& a : argv) out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

}  // namespace

int runAndWait(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    auto args = cArgs(argv);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool startDetached(const std::vector<std::string>& argv, const std::vector<std::string>& unset,
                   const std::vector<std::string>& set) {
    if (argv.empty()) return false;
    // Everything the child needs is built before fork: after it, a threaded
    // process may only make async-signal-safe calls.
    std::vector<std::string> dropped = unset;
    for (const std::string& kv : set) dropped.push_back(kv.substr(0, kv.find('=')));
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string kv = *e;
        bool drop = false;
        for (const std::string& u : dropped) drop |= kv.compare(0, u.size() + 1, u + "=") == 0;
        if (!drop) env.push_back(kv);
    }
    env.insert(env.end(), set.begin(), set.end());
    auto args = cArgs(argv);
    auto envp = cArgs(env);
    // The middle process exits at once, so the program is nobody's child here
    // and leaves no zombie behind.
    const pid_t middle = ::fork();
    if (middle < 0) return false;
    if (middle == 0) {
        ::setsid();
        const pid_t program = ::fork();
        if (program == 0) {
            const int devnull = ::open("/dev/null", O_RDONLY);
            if (devnull > 0) {
                ::dup2(devnull, 0);
                ::close(devnull);
            }
            ::execvpe(args[0], args.data(), envp.data());
            ::_exit(127);
        }
        ::_exit(program > 0 ? 0 : 1);
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool programExists(const std::string& program) {
    if (program.empty()) return false;
    if (program.find('/') != std::string::npos) return ::access(program.c_str(), X_OK) == 0;
    for (const std::string& dir : folderList(std::getenv("PATH"), "/usr/local/bin:/usr/bin:/bin")) {
        const std::string full = dir + "/" + program;
        struct stat st;
        if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(full.c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::optional<std::string> startEnvironment(int pid, const std::string& name) {
    // NUL-separated NAME=value entries as the program was started with them.
    std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    const std::string prefix = name + "=";
    for (std::string kv; std::getline(in, kv, '\0');)
        if (kv.compare(0, prefix.size(), prefix) == 0) return kv.substr(prefix.size());
    return std::nullopt;
}

bool openWithDesktop(const std::string& target) { return startDetached({"xdg-open", target}); }

}  // namespace tarvela
