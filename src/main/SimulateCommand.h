// `quillo simulate`: the headless dry run. The real engine and replacer run against the
// simulated desktop, a key script is typed into its text field, and what the field ended with
// is printed as JSON. Nothing on the real desktop is touched and no file is written.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillo::main {

// `args` are the words after "simulate". Returns the exit status: 0, 1 when the snippets
// cannot be loaded, 2 for a usage error.
int runSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

extern const char* const simulateUsage;

} // namespace quillo::main
