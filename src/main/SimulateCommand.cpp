#include "main/SimulateCommand.h"

#include "engine/TextExpansionEngine.h"
#include "engine/TextReplacer.h"
#include "main/KeyScript.h"
#include "model/AppSettings.h"
#include "model/SnippetDocument.h"
#include "model/SnippetStore.h"
#include "platform/linux/XdgPaths.h"
#include "platform/sim/SimDesktop.h"
#include "unicode/UnicodeText.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace quillo::main {

const char* const simulateUsage =
    R"(Usage: quillo simulate [OPTIONS] KEYS

Types KEYS into a simulated text field with your snippets and prints, as JSON, what the
field ends with. Nothing on your desktop is touched and no file is written.

Options:
  --snippets FILE     a snippets document (the JSON form of the snippets file);
                      default: your own snippets file, only read
  --app ID            the frontmost application's id (default: none)
  --append-delimiter  the preference "Append delimiter after expansion" on
  --expansion-off     the global switch off
  --secure-input      a password field has the focus throughout
  --clipboard TEXT    the clipboard holds TEXT as plain text at the start (default: empty)
  --text TEXT         the field holds TEXT at the start, insertion point at its end
  --select N          the last N characters of that text are selected
  --key-interval MS   virtual milliseconds from one key press to the next (default 30)
  --fetch-delay MS    milliseconds the field takes to fetch a paste from the clipboard
                      (default 100); keys pressed meanwhile land first
  --keyboard-grabbed  another program holds the keyboard, so that Quillo cannot hold
                      the keys typed during an expansion: they reach the field at once

KEYS  each Unicode character is one key press that types it;
      {Return} {Tab} {Space} {Backspace} {Escape} {Left} {Right} {Up} {Down}
      {ForwardDelete}: named keys;
      {MODS+KEY}: a combination, MODS among ctrl, opt (or alt), shift, cmd joined
      by +, KEY a letter, digit or punctuation key of the US layout, or a name
      above: {ctrl+opt+m}, {cmd+c}, {shift+cmd+b};
      {wait MS}: MS virtual milliseconds pass; {click}: a click at the end of the
      text, {click N}: a click before character N; {focus APP-ID}: another window
      (of that application) takes the focus; {{ and }}: literal braces.

Output: {"text", "cursor", "clipboard", "expansions": [{"id", "backspaces",
"startedMs", "finishedMs"}]}, times in virtual milliseconds from the first key press.
A macro's Wait step lasts at most 60000 ms; a longer one is cut to that.
)";

namespace {

using json = nlohmann::ordered_json;

struct Options {
    std::optional<std::string> snippetsFile;
    std::optional<std::string> app;
    bool appendDelimiter = false;
    bool expansionOff = false;
    bool secureInput = false;
    bool keyboardGrabbed = false;
    long long fetchDelayMs = 100;
    std::optional<std::string> clipboard;
    std::string text;
    std::size_t select = 0;
    long long keyIntervalMs = 30;
    std::optional<std::string> keys;
};

struct UsageError {
    std::string message;
};

template <typename Number>
std::optional<Number> parseNumber(const std::string& text) {
    Number value{};
    const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (status != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::variant<Options, UsageError> parseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "--") {
            if (i + 2 != args.size() || options.keys) {
                return UsageError{"expected exactly one KEYS argument"};
            }
            options.keys = args[i + 1];
            break;
        }
        if (!arg.starts_with("--") || arg == "-") {
            if (options.keys) {
                return UsageError{"expected exactly one KEYS argument"};
            }
            options.keys = arg;
            continue;
        }
        if (arg == "--append-delimiter") {
            options.appendDelimiter = true;
        } else if (arg == "--expansion-off") {
            options.expansionOff = true;
        } else if (arg == "--secure-input") {
            options.secureInput = true;
        } else if (arg == "--keyboard-grabbed") {
            options.keyboardGrabbed = true;
        } else if (arg == "--snippets" || arg == "--app" || arg == "--clipboard" ||
                   arg == "--text" || arg == "--select" || arg == "--key-interval" ||
                   arg == "--fetch-delay") {
            const auto v = value();
            if (!v) {
                return UsageError{arg + " needs a value"};
            }
            if (arg == "--snippets") {
                options.snippetsFile = *v;
            } else if (arg == "--app") {
                options.app = *v;
            } else if (arg == "--clipboard") {
                options.clipboard = *v;
            } else if (arg == "--text") {
                options.text = *v;
            } else if (arg == "--select") {
                const auto n = parseNumber<std::size_t>(*v);
                if (!n) {
                    return UsageError{"--select needs a number of characters"};
                }
                options.select = *n;
            } else {
                const auto n = parseNumber<long long>(*v);
                if (!n || *n < 0 || *n > 3'600'000) {
                    return UsageError{arg + " needs milliseconds from 0 to 3600000"};
                }
                (arg == "--fetch-delay" ? options.fetchDelayMs : options.keyIntervalMs) = *n;
            }
        } else {
            return UsageError{"unknown option " + arg};
        }
    }
    if (!options.keys) {
        return UsageError{"KEYS is missing"};
    }
    if (options.select > unicode::graphemeCount(options.text)) {
        return UsageError{"--select is longer than the text of --text"};
    }
    return options;
}

struct Document {
    std::string bytes;
    std::optional<std::string> error;
};

Document readSnippetsDocument(const Options& options) {
    std::filesystem::path path;
    if (options.snippetsFile) {
        path = *options.snippetsFile;
    } else {
        const auto folder = linuxdesktop::dataFolder();
        if (!folder) {
            return {{}, "cannot tell where your snippets file is: HOME is not set"};
        }
        const auto own = *folder / model::SnippetStore::fileName;
        std::error_code ignored;
        if (!std::filesystem::exists(own, ignored)) {
            // A first run would install the example snippets; try against those.
            return {model::encodeSnippets(model::SnippetStore::defaultSnippets()), {}};
        }
        path = own;
    }
    std::error_code code;
    if (std::filesystem::is_directory(path, code)) {
        return {{}, path.string() + " is a folder, not a file"};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {{}, "cannot read " + path.string() + ": " + std::strerror(errno)};
    }
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) {
        return {{}, "cannot read " + path.string() + ": " + std::strerror(errno)};
    }
    return {contents.str(), {}};
}

json timeMs(std::chrono::microseconds time) {
    if (time.count() % 1000 == 0) {
        return time.count() / 1000;
    }
    return static_cast<double>(time.count()) / 1000.0;
}

// A folder for the simulated desktop's files, removed when the run ends.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillo-simulate-XXXXXX");
        if (::mkdtemp(pattern.data())) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

} // namespace

int runSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    auto parsed = parseOptions(args);
    if (auto* usage = std::get_if<UsageError>(&parsed)) {
        err << "quillo simulate: " << usage->message << "\n\n" << simulateUsage;
        return 2;
    }
    const auto& options = std::get<Options>(parsed);
    auto script = parseKeyScript(*options.keys);
    if (auto* error = std::get_if<KeyScriptError>(&script)) {
        err << "quillo simulate: KEYS: " << error->description << "\n\n" << simulateUsage;
        return 2;
    }

    const auto document = readSnippetsDocument(options);
    if (document.error) {
        err << "Failed to load snippets: " << *document.error << std::endl;
        return 1;
    }
    auto decoded = model::decodeSnippets(document.bytes);
    if (auto* error = std::get_if<model::DecodeError>(&decoded)) {
        err << "Failed to load snippets: " << error->description << std::endl;
        return 1;
    }

    ScratchFolder scratch;
    if (scratch.path().empty()) {
        err << "Failed to load snippets: cannot make a temporary folder: " << std::strerror(errno)
            << std::endl;
        return 1;
    }
    sim::SimDesktop desktop(scratch.path());
    auto services = desktop.services();
    model::SnippetStore store(services.files);
    store.setSnippets(std::get<std::vector<model::Snippet>>(std::move(decoded)));
    model::AppSettings settings(services.preferences, services.loginItem);
    settings.setAppendDelimiter(options.appendDelimiter);
    settings.setExpansionEnabled(!options.expansionOff);

    desktop.setFrontmostApplication(options.app);
    desktop.setSecureInput(options.secureInput);
    desktop.setHoldRefused(options.keyboardGrabbed);
    desktop.setFetchDelay(std::chrono::milliseconds(options.fetchDelayMs));
    desktop.setPasteboardText(options.clipboard);
    desktop.field().reset(options.text, options.select);

    json expansions = json::array();
    engine::TextExpansionEngine engine(store, settings, services,
                                       std::make_unique<engine::TextReplacer>(services));
    engine.setExpansionListener({[&](const model::Snippet& snippet, std::size_t backspaces) {
                                     expansions.push_back({{"id", snippet.id.toString()},
                                                           {"backspaces", backspaces},
                                                           {"startedMs", timeMs(desktop.now())},
                                                           {"finishedMs", nullptr}});
                                 },
                                 [&] { expansions.back()["finishedMs"] = timeMs(desktop.now()); }});
    engine.start();

    auto at = desktop.now();
    const std::chrono::milliseconds interval(options.keyIntervalMs);
    for (const auto& step : std::get<std::vector<KeyScriptStep>>(script)) {
        if (const auto* press = std::get_if<KeyPress>(&step)) {
            desktop.pressAt(at, press->keyDown);
        } else if (const auto* pause = std::get_if<Pause>(&step)) {
            at += pause->duration;
            continue;
        } else if (const auto* click = std::get_if<Click>(&step)) {
            desktop.doAt(at, [&desktop, character = click->character] {
                desktop.click(character.value_or(unicode::graphemeCount(desktop.field().text())));
            });
        } else {
            desktop.doAt(at, [&desktop, app = std::get<FocusChange>(step).applicationId] {
                desktop.focusOn(app);
            });
        }
        at += interval;
    }
    desktop.runUntilIdle();

    const auto clipboard = desktop.pasteboardText();
    json result = {{"text", desktop.field().text()},
                   {"cursor", desktop.field().cursor()},
                   {"clipboard", clipboard ? json(*clipboard) : json(nullptr)},
                   {"expansions", expansions}};
    out << result.dump(-1, ' ', false, json::error_handler_t::replace) << std::endl;
    return 0;
}

} // namespace quillo::main
