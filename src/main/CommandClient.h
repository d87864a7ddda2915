// `quillo list|insert|on|off|toggle|import|export`: hands the command to the running Quillo and
// prints its reply, or, when none runs, runs `list`, `import` and `export` on the snippets file
// itself, holding the file's lock so that a Quillo starting meanwhile waits for the change.
#pragma once

#include <string>
#include <vector>

namespace quillo::main {

// Whether the first word names one of these commands.
bool isClientCommand(const std::vector<std::string>& args);

// Returns the exit status: 0, 1 when the command failed or needs a Quillo that is not running,
// 2 for a usage error (after printing `usage`).
int runClientCommand(int argc, char** argv, const std::vector<std::string>& args,
                     const char* usage);

} // namespace quillo::main
