// Finding snippets by a text the user types: the snippet list's search and the search window.
//
// A snippet is found when its shortcut or its replacement contains the text, ignoring case
// (Unicode's case folding, the same in every locale). The text is used as typed, not trimmed, so
// a single space finds every snippet with a space in it. Macro steps, the trigger and the app
// lists are not searched.
#pragma once

#include "model/Snippet.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::model {

// One search of a list, folding each snippet's texts as it goes: the snippet list reads the
// store anew for every keystroke.
class SnippetSearch {
  public:
    explicit SnippetSearch(std::string_view text);

    // How a snippet fits the text, from the best fit down.
    enum class Fit { shortcutStarts, shortcutContains, replacementContains, none };
    Fit fit(const Snippet& snippet) const;

    // Positions in `snippets` of those found, in store order; all of them for the empty text.
    std::vector<std::size_t> found(const std::vector<Snippet>& snippets) const;

  private:
    std::string folded_;
    // The folded text of the snippet at hand, one buffer for the whole list.
    mutable std::string scratch_;
};

// The enabled snippets of a list with their texts folded once, for the search window, which
// searches one list with one text after another as the user types: each search is then a pass
// over the folded texts alone.
class RankedSnippetSearch {
  public:
    explicit RankedSnippetSearch(const std::vector<Snippet>& snippets);

    // Positions in the list: the enabled snippets whose shortcut starts with the text, then
    // those whose shortcut contains it, then those whose replacement contains it, each group in
    // store order; every enabled snippet, in store order, for the empty text.
    std::vector<std::size_t> ranked(std::string_view text) const;

  private:
    struct Entry {
        std::size_t position;
        std::size_t shortcutSize;
        std::size_t replacementSize;
    };
    std::vector<Entry> entries_;
    // Each entry's folded shortcut and replacement, one after the other, in entry order.
    std::string folded_;
};

} // namespace quillo::model
