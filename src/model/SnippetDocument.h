// The one on-disk form of a snippet list: the snippets file and the import/export file are
// both a JSON array of snippet objects.
#pragma once

#include "model/Snippet.h"
#include "platform/Platform.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillo::model {

struct DecodeError {
    // Says what and where, for example: snippet 3: missing key "allowedApps".
    std::string description;
    // The file itself could not be read (missing, a folder, too large); otherwise its text is no
    // snippet document.
    bool unreadable = false;
};

// Compact JSON, keys in field order, hotkey keys left out when absent, UUIDs in upper case.
std::string encodeSnippets(const std::vector<Snippet>& snippets);
// The same document as the bytes of a file, with no copy of a large list's text on the way.
platform::Bytes encodeSnippetsAsBytes(const std::vector<Snippet>& snippets);

// The whole list, or one error for the whole document.
std::variant<std::vector<Snippet>, DecodeError> decodeSnippets(std::string_view json);

// The same reading through a complete JSON tree. decodeSnippets reads a sound document straight
// into snippets and falls back to this for any other, which is where its error messages come
// from; this is slower and needs several times the document's size in memory. Callable on its
// own so that the two readers can be held to the same results.
std::variant<std::vector<Snippet>, DecodeError> decodeSnippetsThroughTree(std::string_view json);

} // namespace quillo::model
