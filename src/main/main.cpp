// The program's entry: the subcommands that need no display, and the desktop program.
#include "main/DesktopRun.h"
#include "main/SimulateCommand.h"

#include <iostream>
#include <string>
#include <vector>

#ifndef QUILLO_VERSION
#define QUILLO_VERSION "0.0.0"
#endif

namespace {

constexpr const char* usage = R"(Usage: quillo [COMMAND]

Quillo expands typed shortcuts into longer text in every application. Without a
command it runs on your X11 desktop until interrupted.

Commands:
  simulate [OPTIONS] KEYS   try snippets on a simulated text field, without a desktop
                            (quillo simulate --help tells more)
  --version                 print the version
  --help                    print this help
)";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "simulate") {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        if (!rest.empty() && (rest[0] == "--help" || rest[0] == "-h")) {
            std::cout << quillo::main::simulateUsage;
            return 0;
        }
        return quillo::main::runSimulate(rest, std::cout, std::cerr);
    }
    if (!args.empty() && args[0] == "--version") {
        std::cout << "Quillo " << QUILLO_VERSION << std::endl;
        return 0;
    }
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << usage;
        return 0;
    }
    const auto options = quillo::main::parseDesktopOptions(args);
    if (!options) {
        std::cerr << "quillo: unknown command " << args[0] << "\n\n" << usage;
        return 2;
    }
    return quillo::main::runDesktop(argc, argv, *options);
}
