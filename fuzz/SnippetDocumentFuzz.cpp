// Whatever bytes a snippets file or an import holds, decoding never crashes, the quick reader
// agrees with the one through the JSON tree, and a document that decodes writes back to one that
// decodes to the same list.
#include "model/SnippetDocument.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillo::model;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto decoded = decodeSnippets(bytes);
    // The quick reader must answer exactly as the reader through the JSON tree: the same
    // snippets, or the same error.
    const auto throughTree = decodeSnippetsThroughTree(bytes);
    if (decoded.index() != throughTree.index()) {
        std::abort();
    }
    if (const auto* error = std::get_if<DecodeError>(&decoded)) {
        if (error->description != std::get<DecodeError>(throughTree).description) {
            std::abort();
        }
    } else if (std::get<std::vector<Snippet>>(decoded) !=
               std::get<std::vector<Snippet>>(throughTree)) {
        std::abort();
    }
    if (const auto* snippets = std::get_if<std::vector<Snippet>>(&decoded)) {
        auto again = decodeSnippets(encodeSnippets(*snippets));
        const auto* reread = std::get_if<std::vector<Snippet>>(&again);
        // Text that is not UTF-8 is written mended, so compare only when it was valid.
        if (!reread) {
            std::abort();
        }
        if (encodeSnippets(*reread) != encodeSnippets(*snippets)) {
            std::abort();
        }
    }
    return 0;
}
