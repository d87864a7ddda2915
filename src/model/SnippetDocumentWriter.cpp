#include "model/SnippetDocument.h"
#include "model/SnippetDocumentFormat.h"
#include "unicode/UnicodeText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace quillo::model {

using format::Json;

namespace {

// // The list is written straight into one string rather than through a JSON tree: a save runs on
// the main thread after every edit, and for a hundred thousand snippets the tree cost more than
// the disk. The output is byte for byte what the JSON library writes (compact, no key sorting,
// text as UTF-8 with only the characters JSON requires escaped).

// Appends to the text of a document, or to the bytes that go to the file.
void put(std::string& out, std::string_view text) {
    out.append(text);
}
void put(std::string& out, char c) {
    out.push_back(c);
}
void put(platform::Bytes& out, std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    out.insert(out.end(), bytes, bytes + text.size());
}
void put(platform::Bytes& out, char c) {
    out.push_back(static_cast<std::uint8_t>(c));
}

template <typename Buffer>
class DocumentWriter {
  public:
    explicit DocumentWriter(Buffer& out) : out_(out) {}

    void raw(std::string_view text) { put(out_, text); }

    // A key of the format: plain ASCII, written as it is.
    void key(std::string_view name, bool first = false) {
        if (!first) {
            put(out_, ',');
        }
        put(out_, '"');
        put(out_, name);
        put(out_, "\":");
    }

    void string(std::string_view text) {
        const std::size_t mark = out_.size();
        put(out_, '"');
        std::size_t plainFrom = 0;
        for (std::size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
                ++i;
                continue;
            }
            if (c >= 0x80) {
                const std::size_t length = unicode::utf8SequenceLength(text, i);
                if (length == 0) {
                    // Rare, and the library's way of mending broken text is the one to keep.
                    out_.resize(mark);
                    put(out_, Json(std::string(text))
                                  .dump(-1, ' ', false, Json::error_handler_t::replace));
                    return;
                }
                i += length;
                continue;
            }
            put(out_, text.substr(plainFrom, i - plainFrom));
            escape(c);
            plainFrom = ++i;
        }
        put(out_, text.substr(plainFrom));
        put(out_, '"');
    }

    void uuid(const Uuid& id) {
        static constexpr char digits[] = "0123456789ABCDEF";
        char text[38];
        std::size_t at = 0;
        text[at++] = '"';
        const auto& bytes = id.bytes();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10) {
                text[at++] = '-';
            }
            text[at++] = digits[bytes[i] >> 4];
            text[at++] = digits[bytes[i] & 0x0F];
        }
        text[at++] = '"';
        put(out_, std::string_view(text, at));
    }

    template <typename Integer>
    void integer(Integer value) {
        char digits[24];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
        put(out_, std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }

    void boolean(bool value) { put(out_, value ? "true" : "false"); }

    void strings(const std::vector<std::string>& values) {
        put(out_, '[');
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) {
                put(out_, ',');
            }
            string(values[i]);
        }
        put(out_, ']');
    }

  private:
    void escape(unsigned char c) {
        switch (c) {
        case '"':
            put(out_, "\\\"");
            break;
        case '\\':
            put(out_, "\\\\");
            break;
        case '\b':
            put(out_, "\\b");
            break;
        case '\f':
            put(out_, "\\f");
            break;
        case '\n':
            put(out_, "\\n");
            break;
        case '\r':
            put(out_, "\\r");
            break;
        case '\t':
            put(out_, "\\t");
            break;
        default: {
            constexpr char hex[] = "0123456789abcdef";
            put(out_, "\\u00");
            put(out_, hex[c >> 4]);
            put(out_, hex[c & 0xF]);
        }
        }
    }

    Buffer& out_;
};

template <typename Buffer>
void writeStep(DocumentWriter<Buffer>& out, const MacroStep& step) {
    out.raw("{");
    out.key("id", true);
    out.uuid(step.id);
    out.key("type");
    out.string(toString(step.type));
    out.key("text");
    out.string(step.text);
    out.key("keyCode");
    out.integer(step.keyCode);
    out.key("modifiers");
    out.integer(step.modifiers);
    out.key("milliseconds");
    out.integer(step.milliseconds);
    out.raw("}");
}

template <typename Buffer>
void writeSnippet(DocumentWriter<Buffer>& out, const Snippet& snippet) {
    out.raw("{");
    out.key("id", true);
    out.uuid(snippet.id);
    out.key("shortcut");
    out.string(snippet.shortcut);
    out.key("replacement");
    out.string(snippet.replacement);
    out.key("isEnabled");
    out.boolean(snippet.isEnabled);
    out.key("triggerMode");
    out.string(toString(snippet.triggerMode));
    out.key("allowedApps");
    out.strings(snippet.allowedApps);
    out.key("blockedApps");
    out.strings(snippet.blockedApps);
    // Absent hotkey keys are left out rather than written as null, so that older readers that
    // only know the keys they expect still see a snippet without a hotkey.
    if (snippet.hotkeyKeyCode) {
        out.key("hotkeyKeyCode");
        out.integer(*snippet.hotkeyKeyCode);
    }
    if (snippet.hotkeyModifiers) {
        out.key("hotkeyModifiers");
        out.integer(*snippet.hotkeyModifiers);
    }
    out.key("macroSteps");
    out.raw("[");
    for (std::size_t i = 0; i < snippet.macroSteps.size(); ++i) {
        if (i > 0) {
            out.raw(",");
        }
        writeStep(out, snippet.macroSteps[i]);
    }
    out.raw("]");
    out.raw("}");
}

template <typename Buffer>
void writeDocument(Buffer& out, const std::vector<Snippet>& snippets) {
    // The fixed part of a snippet is some 200 bytes; the texts come on top. Reserving once keeps
    // a large list from being copied as the text grows.
    std::size_t expected = 2;
    for (const auto& snippet : snippets) {
        expected += 220 + snippet.shortcut.size() + snippet.replacement.size() +
                    150 * snippet.macroSteps.size();
    }
    out.reserve(expected);
    DocumentWriter<Buffer> writer(out);
    writer.raw("[");
    for (std::size_t i = 0; i < snippets.size(); ++i) {
        if (i > 0) {
            writer.raw(",");
        }
        writeSnippet(writer, snippets[i]);
    }
    writer.raw("]");
}

} // namespace

std::string encodeSnippets(const std::vector<Snippet>& snippets) {
    std::string document;
    writeDocument(document, snippets);
    return document;
}

platform::Bytes encodeSnippetsAsBytes(const std::vector<Snippet>& snippets) {
    platform::Bytes document;
    writeDocument(document, snippets);
    return document;
}

} // namespace quillo::model
