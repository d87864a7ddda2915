// Finding snippets by a text the user types: the snippet list's search and the search window.
//
// A snippet is found when its shortcut or its replacement contains the text, ignoring case
// (Unicode's case folding, the same in every locale). The text is used as typed, not trimmed, so
// a single space finds every snippet with a space in it. Macro steps, the trigger and the app
// lists are not searched.
//
// A search folds each snippet's texts as it goes rather than keeping folded copies: the list is
// read anew for every keystroke, and ten thousand snippets of a paragraph each take a few
// milliseconds.
#pragma once

#include "model/Snippet.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::model {

class SnippetSearch {
  public:
    explicit SnippetSearch(std::string_view text);

    // How a snippet fits the text, from the best fit down.
    enum class Fit { shortcutStarts, shortcutContains, replacementContains, none };
    Fit fit(const Snippet& snippet) const;

    // Positions in `snippets` of those found, in store order; all of them for the empty text.
    std::vector<std::size_t> found(const std::vector<Snippet>& snippets) const;

    // The search window's list, positions in `snippets`: the enabled snippets whose shortcut
    // starts with the text, then those whose shortcut contains it, then those whose replacement
    // contains it, each group in store order; every enabled snippet, in store order, for the
    // empty text.
    std::vector<std::size_t> ranked(const std::vector<Snippet>& snippets) const;

  private:
    std::string folded_;
    // The folded text of the snippet at hand, one buffer for the whole list.
    mutable std::string scratch_;
};

} // namespace quillo::model
