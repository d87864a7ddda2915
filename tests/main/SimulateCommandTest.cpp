// The dry run from the outside: arguments in, JSON and an exit status out.
#include "main/SimulateCommand.h"

#include "model/SnippetDocument.h"
#include "support/EngineFixture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace quillo::main {
namespace {

using nlohmann::json;
using Mode = model::Snippet::TriggerMode;

class SimulateTest : public ::testing::Test {
  protected:
    SimulateTest() {
        omw.blockedApps = {"zenity"};
        std::ofstream(file) << model::encodeSnippets(
            {omw,
             testing::hotkeySnippet(40, platform::flag::control | platform::flag::option,
                                    "Best regards,\nAda"),
             testing::snippet(";em", Mode::instant, "ada@example.org"),
             testing::snippet("link", Mode::afterDelimiter, "<a href='{clipboard}'>{cursor}</a>")});
    }

    // Runs the command on the snippets above; the JSON it printed, or null.
    json simulate(std::vector<std::string> args, bool withSnippets = true) {
        if (withSnippets) {
            args.insert(args.begin(), {"--snippets", file});
        }
        std::ostringstream out;
        std::ostringstream err;
        status = runSimulate(args, out, err);
        errors = err.str();
        return out.str().empty() ? json() : json::parse(out.str());
    }

    testing::TemporaryFolder folder;
    const std::string file = (folder.path() / "snippets.json").string();
    model::Snippet omw = testing::snippet("omw", Mode::afterDelimiter, "On my way");
    int status = -1;
    std::string errors;
};

TEST_F(SimulateTest, OmwAndASpaceInATextField) {
    const auto result = simulate({"omw "});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(result["text"], "On my way");
    EXPECT_EQ(result["cursor"], 9);
    EXPECT_TRUE(result["clipboard"].is_null());
    ASSERT_EQ(result["expansions"].size(), 1u);
    EXPECT_EQ(result["expansions"][0]["id"], omw.id.toString());
    EXPECT_EQ(result["expansions"][0]["backspaces"], 4);
    EXPECT_EQ(result["expansions"][0]["startedMs"], 90);
    EXPECT_EQ(result["expansions"][0]["finishedMs"], 380);
}

// Typing on right after a shortcut, at the pace of a person: the keys typed while an expansion
// writes land after its text. With the keyboard held by another program they land inside it, as
// they did before the keyboard was held.
TEST_F(SimulateTest, OptionsAndTypingReachTheEngine) {
    const struct {
        std::vector<std::string> args;
        std::string text;
        int cursor = -1; // -1: not checked
    } cases[] = {
        {{"--append-delimiter", "omw."}, "On my way.", 10},
        {{"--expansion-off", "omw "}, "omw ", 4},
        {{"--secure-input", "omw "}, "omw ", 4},
        {{"--text", "I am ", "omw!"}, "I am On my way", 14},
        {{"--text", "abc", "--select", "2", "omw "}, "aOn my way", 10},
        {{"--clipboard", "https://example.org", "link "}, "<a href='https://example.org'></a>", 30},
        {{"--app", "zenity", "omw "}, "omw "},
        {{"--key-interval", "80", "Hi {ctrl+opt+k} bye"}, "Hi Best regards,\nAda bye"},
        // A field that takes its time to fetch the paste gets it before the keys that follow.
        {{"--key-interval", "40", "--fetch-delay", "90", "omw see"}, "On my waysee"},
        // What the keys did before they were held: erased by the Backspaces, or pasted over.
        {{"--keyboard-grabbed", "--key-interval", "120", "omw see you "}, "seOn my waye you "},
        // Nothing expands across a click or a change of window.
        {{"--text", "xyz", "om{click 1}w "}, "xw yzom"},
        {{"om{focus org.example.Other}w "}, "omw "},
        {{"om{wait 500}w "}, "On my way"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const auto result = simulate(c.args);
        EXPECT_EQ(status, 0) << errors;
        EXPECT_EQ(result["text"], c.text);
        if (c.cursor >= 0) {
            EXPECT_EQ(result["cursor"], c.cursor);
        }
    }
}

TEST_F(SimulateTest, UsageErrorsExitWithTwoAndUnreadableSnippetsWithOne) {
    const std::vector<std::vector<std::string>> usage = {
        {},
        {"--snippets"},
        {"--unknown", "x"},
        {"a", "b"},
        {"--select", "x", "a"},
        {"--text", "ab", "--select", "3", "a"},
        {"--key-interval", "-1", "a"},
        {"--fetch-delay", "soon", "a"},
        {"{click here}"},
        {"{bogus}"},
    };
    for (const auto& args : usage) {
        EXPECT_TRUE(simulate(args, false).is_null());
        EXPECT_EQ(status, 2);
        EXPECT_NE(errors.find("Usage: quillo simulate"), std::string::npos);
    }
    const auto broken = (folder.path() / "broken.json").string();
    std::ofstream(broken) << R"([{"id": "not a uuid"}])";
    for (const auto& snippets :
         {broken, (folder.path() / "missing.json").string(), folder.path().string()}) {
        EXPECT_TRUE(simulate({"--snippets", snippets, "x"}, false).is_null());
        EXPECT_EQ(status, 1);
        EXPECT_EQ(errors.rfind("Failed to load snippets: ", 0), 0u) << errors;
    }
}

} // namespace
} // namespace quillo::main
