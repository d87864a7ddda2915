// The command that adds Quillo to GNOME's input sources: the user's own sources kept, and the
// list quoted so that a shell hands gsettings exactly that list, whatever the ids hold.
#include "platform/linux/InputSourceTrust.h"

// GLib names a structure's member "signals", which Qt's headers make a keyword.
#undef signals
#include <cstdio>
#include <gio/gio.h>
#include <gtest/gtest.h>

namespace {

using quillo::linuxdesktop::gsettingsCommandAdding;
using quillo::linuxdesktop::InputSourceEntry;
using quillo::linuxdesktop::inputSourcesOf;
using Sources = std::vector<InputSourceEntry>;

constexpr std::string_view prefix = "gsettings set org.gnome.desktop.input-sources sources ";

struct CommandCase {
    const char* name;
    Sources sources;
    // The argument after the prefix; empty when no command is needed.
    std::string argument;
};

const CommandCase commandCases[] = {
    {"empty list", {}, R"("[('ibus', 'quillo')]")"},
    {"one layout", {{"xkb", "us"}}, R"("[('xkb', 'us'), ('ibus', 'quillo')]")"},
    {"already present", {{"xkb", "us"}, {"ibus", "quillo"}}, ""},
    {"present first", {{"ibus", "quillo"}, {"xkb", "de"}}, ""},
    {"several sources",
     {{"xkb", "us"}, {"xkb", "de+neo"}, {"ibus", "mozc-jp"}},
     R"("[('xkb', 'us'), ('xkb', 'de+neo'), ('ibus', 'mozc-jp'), ('ibus', 'quillo')]")"},
    {"near namesakes",
     {{"xkb", "quillo"}, {"ibus", "quillo2"}},
     R"("[('xkb', 'quillo'), ('ibus', 'quillo2'), ('ibus', 'quillo')]")"},
    {"apostrophe", {{"xkb", "o'neil"}}, R"("[('xkb', \"o'neil\"), ('ibus', 'quillo')]")"},
    {"shell's own characters",
     {{"xkb", "$HOME`id`"}},
     R"("[('xkb', '\$HOME\`id\`'), ('ibus', 'quillo')]")"},
    {"backslash", {{"xkb", R"(a\b)"}}, R"("[('xkb', 'a\\\\b'), ('ibus', 'quillo')]")"},
    {"history mark",
     {{"xkb", "hi!"}},
     R"('[('\''xkb'\'', '\''hi!'\''), ('\''ibus'\'', '\''quillo'\'')]')"},
};

// What a shell makes of the quoted argument, read back as GSettings reads the value.
Sources listTheShellGives(const std::string& argument) {
    // popen hands the line to /bin/sh.
    const std::string line = "printf %s " + argument;
    std::string text;
    if (FILE* pipe = popen(line.c_str(), "r")) {
        char buffer[256];
        while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) {
            text.append(buffer, n);
        }
        pclose(pipe);
    }
    GVariant* value =
        g_variant_parse(G_VARIANT_TYPE("a(ss)"), text.c_str(), nullptr, nullptr, nullptr);
    if (value == nullptr) {
        ADD_FAILURE() << "not a list of sources: " << text;
        return {};
    }
    Sources sources = inputSourcesOf(value);
    g_variant_unref(value);
    return sources;
}

TEST(InputSourceTrust, TheCommandAppendsQuilloToTheUsersOwnSources) {
    for (const auto& c : commandCases) {
        SCOPED_TRACE(c.name);
        const std::string command = gsettingsCommandAdding(c.sources);
        if (c.argument.empty()) {
            EXPECT_EQ(command, "");
            continue;
        }
        EXPECT_EQ(command, std::string(prefix) + c.argument);
        Sources expected = c.sources;
        expected.emplace_back("ibus", "quillo");
        EXPECT_EQ(listTheShellGives(command.substr(prefix.size())), expected);
    }
}

} // namespace
