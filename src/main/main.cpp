// The program's entry: the subcommands that need no display, and the desktop program.
#include "main/CommandClient.h"
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
command it runs on your X11 desktop until interrupted. The commands below talk to
the running Quillo; with none running, list, import and export work on the
snippets file directly and the others end with status 1. A usage error ends with
status 2.

Commands:
  list [--json]             list the snippets: shortcut, trigger and the first line
                            of the replacement; --json prints them as the snippets
                            file holds them
  insert SHORTCUT|ID        write a snippet into the focused window
  on | off | toggle         switch expansion on or off
  import FILE               add the snippets of a file exported by Quillo
  export FILE               write all snippets to a file
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
    if (quillo::main::isClientCommand(args)) {
        return quillo::main::runClientCommand(argc, argv, args, usage);
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
