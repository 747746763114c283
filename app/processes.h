// Starting other programs from the shell: the desktop's opener, systemctl, a
// second Tarvela. Standard input, output and error go to the null device.
#pragma once

#include <string>
#include <vector>

namespace tarvela {

// Runs argv (the program is looked up on PATH) and waits for it. Its exit
// status, or -1 when it could not be started or did not exit normally.
int runAndWait(const std::vector<std::string>& argv);

// Starts argv detached from this process (its own session, reaped by the
// system) with this process's environment less the variables in `unset`.
// Returns whether it was started; whether it then succeeded is not known here.
bool startDetached(const std::vector<std::string>& argv, const std::vector<std::string>& unset = {});

// Opens a file or a web address with the desktop's opener (xdg-open).
bool openWithDesktop(const std::string& target);

}  // namespace tarvela
