// The manual pages and shell completions that ship beside the executable,
// written from the tables that drive `tarvela --help`, `tarvela msg --help`
// and the default shortcuts, so that none of them can tell a different story.
#pragma once

#include <string>

namespace tarvela::docs {

// tarvela(1) and tarvela-msg(1) in man(7) roff, plain ASCII.
std::string tarvelaPage(const std::string& version);
std::string msgPage(const std::string& version);

// Completion scripts for `tarvela` and `tarvela msg`: bash's (sourced by
// bash-completion) and zsh's (an autoloaded _tarvela function).
std::string bashCompletion();
std::string zshCompletion();

// `text` in roff: backslashes, leading dots and quotes escaped, the typographic
// characters the help texts use written in ASCII.
std::string roffText(const std::string& text);

}  // namespace tarvela::docs
