#include "model/SnippetSearch.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::model {
namespace {

Snippet snippet(std::string shortcut, std::string replacement, bool enabled = true) {
    Snippet s = Snippet::make();
    s.shortcut = std::move(shortcut);
    s.replacement = std::move(replacement);
    s.isEnabled = enabled;
    return s;
}

std::vector<std::string> shortcuts(const std::vector<Snippet>& snippets,
                                   const std::vector<std::size_t>& positions) {
    std::vector<std::string> result;
    for (const std::size_t i : positions) {
        result.push_back(snippets[i].shortcut);
    }
    return result;
}

// The search window's order: shortcut starting with the text, then containing it, then the
// replacement containing it, each in store order; switched-off snippets never.
TEST(SnippetSearch, RanksByWhereTheTextIsFoundThenByStoreOrder) {
    const std::vector<Snippet> snippets = {
        snippet("addr", "Main Street 1"), snippet("sig", "Best regards, Ada"),
        snippet("ad", "Advertisement"),   snippet("mad", "Madrid"),
        snippet("adx", "off", false),     snippet("", "Hotkey text with ad"),
        snippet("ÉTÉ", "summer"),         snippet("x", "Straße"),
        snippet("Ωmega", "Greek"),
    };
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"ad", {"addr", "ad", "mad", "sig", ""}},
        {"AD", {"addr", "ad", "mad", "sig", ""}},
        {"street", {"addr"}},
        {"été", {"ÉTÉ"}},
        {"STRASSE", {}},
        {"straße", {"x"}},
        {"ω", {"Ωmega"}},
        {" ", {"addr", "sig", ""}},
        {"", {"addr", "sig", "ad", "mad", "", "ÉTÉ", "x", "Ωmega"}},
    };
    const RankedSnippetSearch ranked(snippets);
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(shortcuts(snippets, ranked.ranked(text)), expected);
    }
    // The list's search keeps store order and the switched-off ones.
    EXPECT_EQ(shortcuts(snippets, SnippetSearch("ad").found(snippets)),
              (std::vector<std::string>{"addr", "sig", "ad", "mad", "adx", ""}));
}

} // namespace
} // namespace quillo::model
