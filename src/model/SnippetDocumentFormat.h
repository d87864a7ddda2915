// What the writer and the two readers of the snippets file share: the JSON library, the limit on
// nesting, the shape of a document and the keys of the format. For model/'s own files only.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string_view>

namespace quillo::model::format {

using Json = nlohmann::json;

// The format itself nests four levels deep; the margin is for extra keys that are ignored. The
// limit keeps a hostile file from exhausting the stack of any recursive walk over the tree.
constexpr int maxNestingDepth = 64;

// The document's shape, measured in one quick pass before parsing: whether it nests too deeply
// (so that no part of the parser ever sees a pathologically deep document) and how many objects
// its top-level array holds (so that room for the snippets is made once). Brackets inside
// strings do not count.
struct DocumentShape {
    bool tooDeep = false;
    std::size_t topLevelObjects = 0;
};

DocumentShape measure(std::string_view json);
bool isNestedTooDeeply(std::string_view json);

// The keys of both records, as the readers tell them; each is a bit in a set of keys seen.
enum class DocumentKey : unsigned {
    other = 0,
    id = 1u << 0,
    shortcut = 1u << 1,
    replacement = 1u << 2,
    isEnabled = 1u << 3,
    triggerMode = 1u << 4,
    allowedApps = 1u << 5,
    blockedApps = 1u << 6,
    hotkeyKeyCode = 1u << 7,
    hotkeyModifiers = 1u << 8,
    macroSteps = 1u << 9,
    type = 1u << 10,
    text = 1u << 11,
    keyCode = 1u << 12,
    modifiers = 1u << 13,
    milliseconds = 1u << 14,
};
constexpr unsigned bit(DocumentKey key) {
    return static_cast<unsigned>(key);
}

// The key of a snippet, or of a macro step, by its name in the file; other for any other name.
DocumentKey snippetKey(std::string_view name);
DocumentKey stepKey(std::string_view name);

} // namespace quillo::model::format
