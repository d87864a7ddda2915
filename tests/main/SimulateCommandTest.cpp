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
    std::string writeSnippets(const std::vector<model::Snippet>& snippets) {
        const auto path = (folder.path() / "snippets.json").string();
        std::ofstream(path) << model::encodeSnippets(snippets);
        return path;
    }

    // Runs the command; the JSON it printed, or null.
    json simulate(std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        status = runSimulate(args, out, err);
        errors = err.str();
        return out.str().empty() ? json() : json::parse(out.str());
    }

    testing::TemporaryFolder folder;
    int status = -1;
    std::string errors;
};

TEST_F(SimulateTest, OmwAndASpaceInATextField) {
    const auto omw = testing::snippet("omw", Mode::afterDelimiter, "On my way");
    const auto result = simulate({"--snippets", writeSnippets({omw}), "omw "});
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

TEST_F(SimulateTest, OptionsReachTheEngine) {
    const auto file = writeSnippets(
        {testing::snippet("omw", Mode::afterDelimiter, "On my way"),
         testing::snippet("link", Mode::afterDelimiter, "<a href='{clipboard}'>{cursor}</a>")});
    struct Case {
        std::vector<std::string> args;
        std::string text;
        int cursor;
    };
    const Case cases[] = {
        {{"--append-delimiter", "omw."}, "On my way.", 10},
        {{"--expansion-off", "omw "}, "omw ", 4},
        {{"--secure-input", "omw "}, "omw ", 4},
        {{"--text", "I am ", "omw!"}, "I am On my way", 14},
        {{"--text", "abc", "--select", "2", "omw "}, "aOn my way", 10},
        {{"--clipboard", "https://example.org", "link "}, "<a href='https://example.org'></a>", 30},
        {{"--key-interval", "0", "omw{Left} "}, "om w", 3},
    };
    for (const auto& c : cases) {
        auto args = c.args;
        args.insert(args.begin(), {"--snippets", file});
        const auto result = simulate(args);
        EXPECT_EQ(status, 0) << errors;
        EXPECT_EQ(result["text"], c.text) << args.back();
        EXPECT_EQ(result["cursor"], c.cursor) << args.back();
    }
}

// Typing on right after a shortcut, at the pace of a person: the keys typed while an expansion
// writes land after its text. With the keyboard held by another program they land inside it, as
// they did before the keyboard was held.
TEST_F(SimulateTest, TypingOnAfterAShortcut) {
    auto sig = testing::hotkeySnippet(40, platform::flag::control | platform::flag::option,
                                      "Best regards,\nAda");
    const auto file = writeSnippets(
        {testing::snippet("omw", Mode::afterDelimiter, "On my way"), sig,
         testing::snippet(";em", Mode::instant, "ada@example.org"),
         testing::snippet("link", Mode::afterDelimiter, "<a href='{clipboard}'>{cursor}</a>")});
    struct Case {
        std::vector<std::string> args;
        std::string text;
    };
    const Case cases[] = {
        {{"--key-interval", "300", "omw see you "}, "On my waysee you "},
        {{"--key-interval", "120", "omw see you "}, "On my waysee you "},
        {{"--key-interval", "40", "omw see you "}, "On my waysee you "},
        {{"--key-interval", "80", "Hi {ctrl+opt+k} bye"}, "Hi Best regards,\nAda bye"},
        {{"--key-interval", "200", "mail ;em ok"}, "mail ada@example.org ok"},
        {{"--key-interval", "3", "omw omw omw hello omw "},
         "On my wayOn my wayOn my wayhello On my way"},
        {{"--key-interval", "60", "--clipboard", "https://q.org", "link Quillo"},
         "<a href='https://q.org'>Quillo</a>"},
        // A field that takes its time to fetch the paste gets it before the keys that follow.
        {{"--key-interval", "40", "--fetch-delay", "90", "omw see"}, "On my waysee"},
        // What the keys did before they were held: erased by the Backspaces, or pasted over.
        {{"--keyboard-grabbed", "--key-interval", "120", "omw see you "}, "seOn my waye you "},
        // Nothing expands across a click or a change of window.
        {{"om{click}w "}, "omw "},
        {{"--text", "xyz", "om{click 1}w "}, "xw yzom"},
        {{"om{focus org.example.Other}w "}, "omw "},
        {{"om{wait 500}w "}, "On my way"},
    };
    for (const auto& c : cases) {
        auto args = c.args;
        args.insert(args.begin(), {"--snippets", file});
        const auto result = simulate(args);
        EXPECT_EQ(status, 0) << errors;
        EXPECT_EQ(result["text"], c.text) << args[args.size() - 2] << " " << args.back();
    }
}

TEST_F(SimulateTest, ApplicationFilter) {
    auto omw = testing::snippet("omw", Mode::afterDelimiter, "On my way");
    omw.blockedApps = {"zenity"};
    const auto file = writeSnippets({omw});
    EXPECT_EQ(simulate({"--snippets", file, "--app", "zenity", "omw "})["text"], "omw ");
    EXPECT_EQ(simulate({"--snippets", file, "--app", "gedit", "omw "})["text"], "On my way");
}

TEST_F(SimulateTest, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
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
    for (const auto& args : cases) {
        EXPECT_TRUE(simulate(args).is_null());
        EXPECT_EQ(status, 2);
        EXPECT_NE(errors.find("Usage: quillo simulate"), std::string::npos);
    }
}

TEST_F(SimulateTest, UnreadableSnippetsExitWithOne) {
    const auto broken = (folder.path() / "broken.json").string();
    std::ofstream(broken) << R"([{"id": "not a uuid"}])";
    for (const auto& file :
         {broken, (folder.path() / "missing.json").string(), folder.path().string()}) {
        EXPECT_TRUE(simulate({"--snippets", file, "x"}).is_null());
        EXPECT_EQ(status, 1);
        EXPECT_EQ(errors.rfind("Failed to load snippets: ", 0), 0u) << errors;
    }
}

} // namespace
} // namespace quillo::main
