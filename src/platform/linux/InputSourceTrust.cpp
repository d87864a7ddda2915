#include "platform/linux/InputSourceTrust.h"

#include "platform/linux/IBusInputMethod.h"

#include <cstdlib>
#include <cstring>

// GLib names a structure's member "signals", which Qt's headers make a keyword; nothing here
// declares Qt signals.
#undef signals
#include <gio/gio.h>
#include <ibus.h>

namespace quillo::linuxdesktop {

namespace {

constexpr const char* schemaId = "org.gnome.desktop.input-sources";
constexpr const char* sourcesKey = "sources";
constexpr const char* quilloType = "ibus";

// Inside the shell's double quotes only these four keep a meaning; a "!" would start history
// expansion in an interactive shell, where no escape keeps it out, so such a text goes in single
// quotes instead.
std::string shellQuoted(const std::string& text) {
    std::string quoted;
    if (text.find('!') != std::string::npos) {
        quoted = "'";
        for (const char c : text) {
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return quoted + "'";
    }
    quoted = "\"";
    for (const char c : text) {
        if (std::strchr("\"\\$`", c) != nullptr) {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

bool onGnome() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return desktop != nullptr && std::strstr(desktop, "GNOME") != nullptr;
}

std::vector<std::string> gnomeSteps() {
    return {"Open Settings, then Keyboard.", "Under Input Sources, click \"+ Add Input Source…\".",
            "Click \"⋮\" at the end of the list, then Other, then Quillo, and Add.",
            "Select Quillo in the top bar's input menu, or with Super+Space."};
}

std::vector<std::string> ibusSteps() {
    return {"Add Quillo in your desktop's input method settings (IBus Preferences: Input "
            "Method, Add, Other, Quillo) and select it."};
}

} // namespace

std::vector<InputSourceEntry> inputSourcesOf(GVariant* list) {
    std::vector<InputSourceEntry> sources;
    GVariantIter iter;
    g_variant_iter_init(&iter, list);
    const gchar* type = nullptr;
    const gchar* id = nullptr;
    while (g_variant_iter_next(&iter, "(&s&s)", &type, &id)) {
        sources.emplace_back(type, id);
    }
    return sources;
}

std::string gsettingsCommandAdding(const std::vector<InputSourceEntry>& sources) {
    const InputSourceEntry quillo{quilloType, IBusInputMethod::engineName};
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("a(ss)"));
    for (const auto& [type, id] : sources) {
        if (type == quillo.first && id == quillo.second) {
            g_variant_builder_clear(&list);
            return {};
        }
        g_variant_builder_add(&list, "(ss)", type.c_str(), id.c_str());
    }
    g_variant_builder_add(&list, "(ss)", quillo.first.c_str(), quillo.second.c_str());
    // GSettings' own text form, as `gsettings get` shows the list: it quotes what the ids hold.
    GVariant* value = g_variant_ref_sink(g_variant_builder_end(&list));
    gchar* text = g_variant_print(value, FALSE);
    std::string command =
        std::string("gsettings set ") + schemaId + " " + sourcesKey + " " + shellQuoted(text);
    g_free(text);
    g_variant_unref(value);
    return command;
}

struct InputSourceTrust::Parts {
    // The last answer to the question for IBus's global engine, shared with the question still
    // on its way, which may come back after the trust is gone.
    struct GlobalEngine {
        std::string name;
        bool asking = false;
    };

    bool gnome = onGnome();
    // GNOME's input sources, when the schema is installed.
    GSettings* settings = nullptr;
    IBusBus* bus = nullptr;
    std::shared_ptr<GlobalEngine> globalEngine = std::make_shared<GlobalEngine>();
    bool settingsPanel = false;

    ~Parts() {
        if (settings != nullptr) {
            g_object_unref(settings);
        }
        if (bus != nullptr) {
            g_object_unref(bus);
        }
    }

    // Asks IBus without waiting; the answer is for the next look.
    void askGlobalEngine() {
        if (!ibus_bus_is_connected(bus)) {
            globalEngine->name.clear();
            return;
        }
        if (globalEngine->asking) {
            return;
        }
        globalEngine->asking = true;
        ibus_bus_get_global_engine_async(
            bus, -1, nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                const std::unique_ptr<std::weak_ptr<GlobalEngine>> weak(
                    static_cast<std::weak_ptr<GlobalEngine>*>(data));
                GError* error = nullptr;
                IBusEngineDesc* engine =
                    ibus_bus_get_global_engine_async_finish(IBUS_BUS(source), result, &error);
                g_clear_error(&error);
                if (auto answer = weak->lock()) {
                    answer->name = engine != nullptr ? ibus_engine_desc_get_name(engine) : "";
                    answer->asking = false;
                }
                if (engine != nullptr) {
                    g_object_unref(engine);
                }
            },
            new std::weak_ptr<GlobalEngine>(globalEngine));
    }

    // GNOME's list of input sources; none without the schema.
    std::optional<std::vector<InputSourceEntry>> gnomeSources() const {
        if (settings == nullptr) {
            return std::nullopt;
        }
        GVariant* value = g_settings_get_value(settings, sourcesKey);
        auto sources = inputSourcesOf(value);
        g_variant_unref(value);
        return sources;
    }
};

InputSourceTrust::InputSourceTrust() : parts_(std::make_unique<Parts>()) {
    if (parts_->gnome) {
        // A GSettings object for a schema that is not installed would end the process.
        GSettingsSchemaSource* schemas = g_settings_schema_source_get_default();
        GSettingsSchema* schema =
            schemas != nullptr ? g_settings_schema_source_lookup(schemas, schemaId, TRUE) : nullptr;
        if (schema != nullptr) {
            parts_->settings = g_settings_new_full(schema, nullptr, nullptr);
            g_settings_schema_unref(schema);
        }
        gchar* program = g_find_program_in_path("gnome-control-center");
        parts_->settingsPanel = program != nullptr;
        g_free(program);
    }
    ibus_init();
    // The process's one connection to IBus, which the input method shares.
    parts_->bus = ibus_bus_new();
    parts_->askGlobalEngine();
}

InputSourceTrust::~InputSourceTrust() = default;

void InputSourceTrust::requestTrust() {
    if (!parts_->settingsPanel) {
        return;
    }
    const gchar* argv[] = {"gnome-control-center", "keyboard", nullptr};
    g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                  nullptr, nullptr, nullptr);
}

std::optional<platform::InputSource> InputSourceTrust::inputSource() const {
    parts_->askGlobalEngine();
    platform::InputSource source;
    source.selected = parts_->globalEngine->name == IBusInputMethod::engineName;
    source.requestOpensSettings = parts_->settingsPanel;
    const auto gnomeSources = parts_->gnomeSources();
    if (gnomeSources) {
        source.command = gsettingsCommandAdding(*gnomeSources);
        source.added = source.command.empty();
        source.steps = gnomeSteps();
        return source;
    }
    source.added = source.selected;
    if (parts_->gnome) {
        source.unknownReason = "GNOME's input-source settings (the gsettings-desktop-schemas "
                               "package) are missing, so Quillo cannot read its list of input "
                               "sources.";
        source.steps = gnomeSteps();
        return source;
    }
    if (!ibus_bus_is_connected(parts_->bus)) {
        source.unknownReason = "IBus is not running: start it (ibus-daemon -drx), or choose IBus "
                               "in your desktop's input method settings.";
    }
    source.steps = ibusSteps();
    source.command = std::string("ibus engine ") + IBusInputMethod::engineName;
    return source;
}

} // namespace quillo::linuxdesktop
