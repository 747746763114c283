// Starting other programs: applications, the desktop's opener and mailer,
// systemctl, a second Tarvela. The one place that forks, for the shell and
// the platform alike.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvela {

// Runs argv (the program is looked up on PATH) and waits for it. Its exit
// status, or -1 when it could not be started or did not exit normally. It is
// asked, not heard: its input, output and error are the null device.
int runAndWait(const std::vector<std::string>& argv);

// Starts argv detached from this process (its own session, reaped by the
// system) with this process's environment less the variables in `unset`,
// and with the "NAME=value" entries of `set` in place of their namesakes.
// Its input is the null device; its output and error are this process's, so
// what an application Tarvela started says lands in Tarvela's log.
// Returns whether it was started; whether it then succeeded is not known here.
bool startDetached(const std::vector<std::string>& argv, const std::vector<std::string>& unset = {},
                   const std::vector<std::string>& set = {});

// The value of `name` in the environment process `pid` started with; none
// when it had none or the process cannot be read (gone, another user's).
std::optional<std::string> startEnvironment(int pid, const std::string& name);

// Whether `program` can be started: a path (with a "/") to an executable, or
// the name of an executable file in a folder of $PATH (/usr/local/bin:/usr/bin:/bin
// when it is unset).
bool programExists(const std::string& program);

// Opens a file or a web address with the desktop's opener (xdg-open).
bool openWithDesktop(const std::string& target);

}  // namespace tarvela
