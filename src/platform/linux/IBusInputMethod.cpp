#include "platform/linux/IBusInputMethod.h"

#include "platform/linux/XdgPaths.h"

#include <QString>
#include <QThread>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <thread>

// GLib names a structure's member "signals", which Qt's headers make a keyword; nothing here
// declares Qt signals.
#undef signals
#include <ibus.h>
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

namespace quillo::linuxdesktop {

using platform::EventFlags;
using platform::KeyEvent;
using platform::KeyEventType;

struct IBusInputMethod::Engine {
    IBusEngineSimple parent;
};

namespace {

// The one input method of the process, which the engine objects that IBus creates report to.
IBusInputMethod* owner = nullptr;
IBusEngineClass* simpleClass = nullptr;

// GTK hands a forwarded key back to its own event queue, while it applies a commit at once: a
// commit right after a forwarded key would overtake it. This long is given for the key to land.
constexpr std::chrono::milliseconds forwardedKeyLag{40};
constexpr std::chrono::milliseconds forwardedKeyLagEach{10};

constexpr EventFlags typingModifiers =
    platform::flag::control | platform::flag::option | platform::flag::command;

IBusInputMethod::Engine* engineOf(IBusEngine* engine) {
    return reinterpret_cast<IBusInputMethod::Engine*>(engine);
}

IBusEngine* ibusEngineOf(IBusInputMethod::Engine* engine) {
    return reinterpret_cast<IBusEngine*>(engine);
}

// A private field (no history, no learning) is kept from Quillo as a password field is.
unsigned purposeOf(guint purpose, guint hints) {
    return (hints & IBUS_INPUT_HINT_PRIVATE) != 0 ? guint{IBUS_INPUT_PURPOSE_PASSWORD} : purpose;
}

gboolean processKeyEvent(IBusEngine* engine, guint keyval, guint keycode, guint state) {
    if (owner == nullptr) {
        return simpleClass->process_key_event(engine, keyval, keycode, state);
    }
    return owner->onKey(engineOf(engine), keyval, keycode, state) ? TRUE : FALSE;
}

void focusIn(IBusEngine* engine) {
    simpleClass->focus_in(engine);
    // Without the question, GTK sends the field's text only when first asked for it: it then
    // sends it after every change.
    ibus_engine_get_surrounding_text(engine, nullptr, nullptr, nullptr);
    if (owner != nullptr) {
        owner->onFocus(engineOf(engine), true);
    }
}

void focusOut(IBusEngine* engine) {
    simpleClass->focus_out(engine);
    if (owner != nullptr) {
        owner->onFocus(engineOf(engine), false);
    }
}

// Engines made with the focus ids are told the input context's client with each focus: the
// toolkit's module and the program's name ("gtk3-im:zenity").
void focusInId(IBusEngine* engine, const gchar*, const gchar* client) {
    if (owner != nullptr) {
        owner->onClient(engineOf(engine), client != nullptr ? client : "");
    }
    focusIn(engine);
}

void focusOutId(IBusEngine* engine, const gchar*) {
    focusOut(engine);
}

void enable(IBusEngine* engine) {
    simpleClass->enable(engine);
    ibus_engine_get_surrounding_text(engine, nullptr, nullptr, nullptr);
}

void setContentType(IBusEngine* engine, guint purpose, guint hints) {
    simpleClass->set_content_type(engine, purpose, hints);
    if (owner != nullptr) {
        owner->onContentType(engineOf(engine), purposeOf(purpose, hints));
    }
}

IBusObjectClass* objectParentClass = nullptr;

void destroyEngine(IBusObject* object) {
    if (owner != nullptr) {
        owner->onEngineGone(engineOf(reinterpret_cast<IBusEngine*>(object)));
        owner->onFocus(engineOf(reinterpret_cast<IBusEngine*>(object)), false);
        owner->onClient(engineOf(reinterpret_cast<IBusEngine*>(object)), std::nullopt);
    }
    objectParentClass->destroy(object);
}

void classInit(gpointer klass, gpointer) {
    auto* engineClass = static_cast<IBusEngineClass*>(klass);
    simpleClass = static_cast<IBusEngineClass*>(g_type_class_peek_parent(klass));
    objectParentClass = reinterpret_cast<IBusObjectClass*>(simpleClass);
    engineClass->process_key_event = processKeyEvent;
    engineClass->focus_in = focusIn;
    engineClass->focus_out = focusOut;
    engineClass->focus_in_id = focusInId;
    engineClass->focus_out_id = focusOutId;
    engineClass->enable = enable;
    engineClass->set_content_type = setContentType;
    reinterpret_cast<IBusObjectClass*>(klass)->destroy = destroyEngine;
}

GType engineType() {
    static const GType type = g_type_register_static_simple(
        IBUS_TYPE_ENGINE_SIMPLE, "QuilloEngine", sizeof(IBusEngineSimpleClass), classInit,
        sizeof(IBusInputMethod::Engine), nullptr, GTypeFlags{});
    return type;
}

// The factory's engines, with the focus ids asked for: IBus tells those the client of the input
// context that takes the focus.
IBusEngine* createEngine(IBusFactory* factory, const gchar* name, gpointer) {
    if (g_strcmp0(name, IBusInputMethod::engineName) != 0) {
        return nullptr;
    }
    static int made = 0;
    const std::string path = "/io/github/quillo/Engine/" + std::to_string(++made);
    IBusEngine* engine = IBUS_ENGINE(g_object_new(
        engineType(), "engine-name", name, "object-path", path.c_str(), "connection",
        ibus_service_get_connection(IBUS_SERVICE(factory)), "has-focus-id", TRUE, nullptr));
    if (owner != nullptr) {
        owner->onEngineMade(engineOf(engine));
    }
    return engine;
}

// The modifier bit that a modifier key sets, for the modifier changes the engine follows;
// std::nullopt for other keys. AltGr is a level of the layout: a modifier key that sets none.
std::optional<unsigned> modifierBitOf(guint keyval, const ModifierRoles& roles) {
    switch (keyval) {
    case IBUS_KEY_Shift_L:
    case IBUS_KEY_Shift_R:
        return IBUS_SHIFT_MASK;
    case IBUS_KEY_Control_L:
    case IBUS_KEY_Control_R:
        return IBUS_CONTROL_MASK;
    case IBUS_KEY_Caps_Lock:
        return IBUS_LOCK_MASK;
    case IBUS_KEY_Alt_L:
    case IBUS_KEY_Alt_R:
    case IBUS_KEY_Meta_L:
    case IBUS_KEY_Meta_R:
        return roles.alt;
    case IBUS_KEY_Super_L:
    case IBUS_KEY_Super_R:
        return roles.super;
    case IBUS_KEY_ISO_Level3_Shift:
    case IBUS_KEY_ISO_Level5_Shift:
    case IBUS_KEY_Num_Lock:
        return 0u;
    default:
        return std::nullopt;
    }
}

// What the key types, as the X11 tap tells it: Tab and Return give their control characters,
// and a key pressed with Ctrl still gives its own.
std::u16string textOf(guint keyval) {
    const char32_t character = xkb_keysym_to_utf32(keyval);
    if (character == 0) {
        return {};
    }
    return QString::fromUcs4(&character, 1).toStdU16String();
}

// Whether the engine types the text itself: what a field inserts as it is, not a key that
// does something there (Return, Tab, Backspace are left to the program).
bool isPrintable(std::u16string_view text) {
    return !text.empty() && !QChar(text[0]).isNonCharacter() && text[0] >= 0x20 && text[0] != 0x7F;
}

std::string utf8Of(std::u16string_view units) {
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()))
        .toUtf8()
        .toStdString();
}

} // namespace

struct IBusInputMethod::Parts {
    IBusBus* bus = nullptr;
    IBusFactory* factory = nullptr;
    IBusEngine* focused = nullptr;
    // What each engine's input context said it is, at its last focus.
    std::map<IBusEngine*, std::string> clients;
    // The engines IBus asked the factory for and has not destroyed: while there is one, Quillo's
    // engine is the active input source.
    std::set<IBusEngine*> inUse;
    unsigned focusedPurpose = IBUS_INPUT_PURPOSE_FREE_FORM;
    bool activateWhenRegistered = false;
    // What the compose tables make of the keys typed, told to the handler; the simple engine
    // follows the same tables and commits it.
    xkb_context* context = nullptr;
    xkb_compose_table* composeTable = nullptr;
    xkb_compose_state* compose = nullptr;

    ~Parts() {
        xkb_compose_state_unref(compose);
        xkb_compose_table_unref(composeTable);
        xkb_context_unref(context);
        if (factory != nullptr) {
            g_object_unref(factory);
        }
        if (bus != nullptr) {
            g_signal_handlers_disconnect_matched(bus, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                                 this);
            g_object_unref(bus);
        }
    }

    std::u16string composed(guint keyval) {
        if (compose != nullptr) {
            xkb_compose_state_feed(compose, keyval);
            switch (xkb_compose_state_get_status(compose)) {
            case XKB_COMPOSE_COMPOSING:
                return {};
            case XKB_COMPOSE_CANCELLED:
                xkb_compose_state_reset(compose);
                return {};
            case XKB_COMPOSE_COMPOSED: {
                char text[64] = {};
                xkb_compose_state_get_utf8(compose, text, sizeof text);
                xkb_compose_state_reset(compose);
                return QString::fromUtf8(text).toStdU16String();
            }
            case XKB_COMPOSE_NOTHING:
                break;
            }
        }
        return textOf(keyval);
    }
};

IBusInputMethod::IBusInputMethod(ModifierRoles roles)
    : parts_(std::make_unique<Parts>()), roles_(roles) {
    owner = this;
    parts_->context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (parts_->context != nullptr) {
        const char* locale = std::setlocale(LC_CTYPE, nullptr);
        parts_->composeTable = xkb_compose_table_new_from_locale(
            parts_->context, locale != nullptr ? locale : "C", XKB_COMPOSE_COMPILE_NO_FLAGS);
    }
    if (parts_->composeTable != nullptr) {
        parts_->compose = xkb_compose_state_new(parts_->composeTable, XKB_COMPOSE_STATE_NO_FLAGS);
    }
}

IBusInputMethod::~IBusInputMethod() {
    stop();
    owner = nullptr;
}

void IBusInputMethod::stop() {
    stopped_ = true;
}

bool IBusInputMethod::start(Handler handler) {
    handler_ = std::move(handler);
    ibus_init();
    parts_->bus = ibus_bus_new();
    // Also when the daemon starts later, or again.
    g_signal_connect(parts_->bus, "connected", G_CALLBACK(+[](IBusBus*, gpointer) {
                         if (owner != nullptr) {
                             owner->registerEngine();
                         }
                     }),
                     parts_.get());
    if (ibus_bus_is_connected(parts_->bus)) {
        registerEngine();
    } else {
        std::cout << "IBus is not running: Quillo's input method waits for it." << std::endl;
    }
    started_ = true;
    return true;
}

void IBusInputMethod::registerEngine() {
    if (parts_->factory != nullptr) {
        g_object_unref(parts_->factory);
    }
    // The engines of a daemon that went away are never destroyed by it.
    parts_->inUse.clear();
    parts_->factory = ibus_factory_new(ibus_bus_get_connection(parts_->bus));
    ibus_factory_add_engine(parts_->factory, engineName, engineType());
    g_signal_connect(parts_->factory, "create-engine", G_CALLBACK(createEngine), nullptr);
    // Where IBus read the engine from the installed component file, taking the component's name
    // makes this process its factory. Only elsewhere (another install prefix, a build folder)
    // does Quillo register the component itself: IBus forgets such a component when Quillo
    // quits, and then drops whatever engine the user has unless it too was registered so.
    if (!isListedByIBus()) {
        IBusComponent* component = ibus_component_new(componentName, "Quillo's text expansion", "1",
                                                      "MIT", "Quillo", "", "", "quillo");
        // "default": the engine types with the keyboard layout the user has.
        ibus_component_add_engine(component, ibus_engine_desc_new(engineName, "Quillo",
                                                                  "Quillo's text expansion", "",
                                                                  "MIT", "Quillo", "", "default"));
        if (!ibus_bus_register_component(parts_->bus, component)) {
            std::cout << "IBus did not take Quillo's input method." << std::endl;
        }
        g_object_unref(component);
    }
    // When IBus started Quillo from the component file, it waits for the name.
    ibus_bus_request_name(parts_->bus, componentName, 0);
    if (parts_->activateWhenRegistered) {
        activate();
    } else {
        resumeIfEngineWasInUse();
    }
}

bool IBusInputMethod::isListedByIBus() const {
    const gchar* names[] = {engineName, nullptr};
    IBusEngineDesc** found = ibus_bus_get_engines_by_names(parts_->bus, names);
    if (found == nullptr) {
        return false;
    }
    const bool listed = found[0] != nullptr;
    for (IBusEngineDesc** desc = found; *desc != nullptr; ++desc) {
        g_object_unref(*desc);
    }
    g_free(found);
    return listed;
}

void IBusInputMethod::resumeIfEngineWasInUse() {
    // After Quillo quit while its engine was the active one, IBus goes on naming "quillo" the
    // active input source (the desktop does too) but has no engine left to hand the keys to:
    // every key passes unexpanded until the user picks another source and back. Quillo then
    // takes up the engine again under the same name, which the desktop does not see as a
    // switch. Only on the same daemon: one started afresh takes its source from the desktop.
    const std::optional<std::string> lastDaemon = daemonOfEngineInUse();
    const gchar* address = ibus_get_address();
    if (!lastDaemon || address == nullptr || *lastDaemon != address) {
        return;
    }
    ibus_bus_get_global_engine_async(
        parts_->bus, -1, nullptr,
        [](GObject* bus, GAsyncResult* result, gpointer) {
            // An active engine, any engine, is the user's choice made since.
            IBusEngineDesc* active =
                ibus_bus_get_global_engine_async_finish(IBUS_BUS(bus), result, nullptr);
            if (active != nullptr) {
                g_object_unref(active);
            } else if (owner != nullptr) {
                owner->activate();
            }
        },
        nullptr);
}

void IBusInputMethod::activate() {
    if (parts_->bus == nullptr || !ibus_bus_is_connected(parts_->bus) ||
        parts_->factory == nullptr) {
        parts_->activateWhenRegistered = true;
        return;
    }
    // Never the blocking call: IBus asks this very process for the engine before it answers.
    ibus_bus_set_global_engine_async(
        parts_->bus, engineName, -1, nullptr,
        [](GObject* bus, GAsyncResult* result, gpointer) {
            GError* error = nullptr;
            if (!ibus_bus_set_global_engine_async_finish(IBUS_BUS(bus), result, &error)) {
                std::cout << "IBus did not make Quillo's input method active: "
                          << (error != nullptr ? error->message : "") << std::endl;
                g_clear_error(&error);
            }
        },
        nullptr);
}

IBusInputMethod::Engine* IBusInputMethod::unusedEngine(GDBusConnection* connection) {
    // A path of its own each: one freed may still be exported until its last reference goes.
    static int made = 0;
    const std::string path = "/io/github/quillo/UnusedEngine/" + std::to_string(++made);
    return reinterpret_cast<Engine*>(
        ibus_engine_new_with_type(engineType(), engineName, path.c_str(), connection));
}

KeyEvent IBusInputMethod::eventFor(std::uint32_t keyval, std::uint32_t keycode, std::uint32_t state,
                                   std::u16string composed) const {
    KeyEvent event;
    const auto evdev = keycode + 8 <= 0xFF ? static_cast<XKeyCode>(keycode + 8) : XKeyCode{0};
    event.keyCode = macKeyForEvdev(evdev).value_or(macKeyForKeySym(keyval).value_or(unknownMacKey));
    event.native = keyval;
    const bool press = (state & IBUS_RELEASE_MASK) == 0;
    unsigned modifiers = state & 0xFF;
    if (const auto bit = modifierBitOf(keyval, roles_)) {
        // Reported with the modifiers as they are after the change; Caps Lock turns on a press.
        if (*bit == IBUS_LOCK_MASK) {
            modifiers = press ? modifiers ^ *bit : modifiers;
        } else {
            modifiers = press ? modifiers | *bit : modifiers & ~*bit;
        }
        event.type = KeyEventType::flagsChanged;
        event.flags = macFlagsForState(modifiers, roles_);
        return event;
    }
    event.type = press ? KeyEventType::keyDown : KeyEventType::keyUp;
    event.flags = macFlagsForState(modifiers, roles_);
    if (press) {
        event.setText(composed);
    }
    return event;
}

bool IBusInputMethod::onKey(Engine* engine, std::uint32_t keyval, std::uint32_t keycode,
                            std::uint32_t state) {
    IBusEngine* ibusEngine = ibusEngineOf(engine);
    if (parts_->focused != ibusEngine) {
        onFocus(engine, true);
    }
    const bool press = (state & IBUS_RELEASE_MASK) == 0;
    const bool typing = (macFlagsForState(state & 0xFF, roles_) & typingModifiers) == 0;
    std::u16string composed;
    if (press && !modifierBitOf(keyval, roles_)) {
        composed = typing ? parts_->composed(keyval) : textOf(keyval);
    }
    const KeyEvent event = eventFor(keyval, keycode, state, composed);
    // A key that starts a hold (the space after a shortcut) was typed before it: it goes on.
    const bool held = holding_;
    const bool withheld = handler_ && handler_(event);
    if (!press) {
        return simpleClass->process_key_event(ibusEngine, keyval, keycode, state) != FALSE;
    }
    if (held) {
        // Handed on by replay() once the expansion has written; a compose sequence it ended is
        // over for the simple engine too.
        if (!composed.empty()) {
            simpleClass->reset(ibusEngine);
        }
        return true;
    }
    if (withheld) {
        simpleClass->reset(ibusEngine);
        if (parts_->compose != nullptr) {
            xkb_compose_state_reset(parts_->compose);
        }
        return true;
    }
    if (simpleClass->process_key_event(ibusEngine, keyval, keycode, state) != FALSE) {
        return true;
    }
    if (typing && isPrintable(composed)) {
        ibus_engine_commit_text(ibusEngine, ibus_text_new_from_string(utf8Of(composed).c_str()));
        return true;
    }
    return false;
}

void IBusInputMethod::onFocus(Engine* engine, bool in) {
    IBusEngine* ibusEngine = ibusEngineOf(engine);
    if (in) {
        if (parts_->focused == ibusEngine) {
            return;
        }
        parts_->focused = ibusEngine;
        ++focusChanges_;
        guint purpose = 0;
        guint hints = 0;
        ibus_engine_get_content_type(ibusEngine, &purpose, &hints);
        onContentType(engine, purposeOf(purpose, hints));
        if (parts_->compose != nullptr) {
            xkb_compose_state_reset(parts_->compose);
        }
        if (handler_) {
            KeyEvent event;
            event.type = KeyEventType::focusChanged;
            handler_(event);
        }
    } else if (parts_->focused == ibusEngine) {
        parts_->focused = nullptr;
        secureField_ = false;
    }
}

void IBusInputMethod::onClient(Engine* engine, std::optional<std::string> client) {
    if (client) {
        parts_->clients[ibusEngineOf(engine)] = std::move(*client);
    } else {
        parts_->clients.erase(ibusEngineOf(engine));
    }
}

void IBusInputMethod::onEngineMade(Engine* engine) {
    const std::filesystem::path marker = inUseMarker();
    if (parts_->inUse.empty() && !marker.empty()) {
        // Which daemon: the address names its socket and the run it belongs to.
        const gchar* address = ibus_get_address();
        std::ofstream(marker) << (address != nullptr ? address : "");
    }
    parts_->inUse.insert(ibusEngineOf(engine));
}

void IBusInputMethod::onEngineGone(Engine* engine) {
    // Only IBus destroys an engine while Quillo runs: the user chose another input source.
    const std::filesystem::path marker = inUseMarker();
    if (parts_->inUse.erase(ibusEngineOf(engine)) == 1 && parts_->inUse.empty() &&
        !marker.empty()) {
        std::error_code ignored;
        std::filesystem::remove(marker, ignored);
    }
}

std::optional<std::string> IBusInputMethod::daemonOfEngineInUse() {
    const std::filesystem::path marker = inUseMarker();
    std::string address;
    if (marker.empty() || !std::getline(std::ifstream(marker), address) || address.empty()) {
        return std::nullopt;
    }
    return address;
}

std::filesystem::path IBusInputMethod::inUseMarker() {
    const auto folder = runtimeFolder();
    return folder ? *folder / "quillo-input-method-in-use" : std::filesystem::path();
}

std::string IBusInputMethod::focusedClient() const {
    const auto it = parts_->clients.find(parts_->focused);
    return it != parts_->clients.end() ? it->second : std::string();
}

std::optional<std::string> IBusInputMethod::programOfClient(std::string_view client) {
    // The GTK modules name the program (g_get_prgname); the others name only a toolkit or the
    // compositor, which hands on the keys of every Wayland program alike ("gnome-shell").
    for (const std::string_view module : {"gtk-im:", "gtk3-im:", "gtk4-im:"}) {
        if (client.starts_with(module) && client.size() > module.size()) {
            return std::string(client.substr(module.size()));
        }
    }
    return std::nullopt;
}

void IBusInputMethod::onContentType(Engine* engine, unsigned purpose) {
    if (parts_->focused == ibusEngineOf(engine)) {
        parts_->focusedPurpose = purpose;
        secureField_ = purpose == IBUS_INPUT_PURPOSE_PASSWORD || purpose == IBUS_INPUT_PURPOSE_PIN;
    }
}

void IBusInputMethod::beginHold(std::function<void(bool held)> established) {
    // The keys come one by one on this thread: from now on they are simply kept. Answered from
    // the event loop, as the X11 tap does, so that a key handed on in this turn goes first.
    holding_ = true;
    mainThread_.post([this, established = std::move(established)] { established(holding_); });
}

void IBusInputMethod::endHold() {
    holding_ = false;
}

void IBusInputMethod::replay(const KeyEvent& event) {
    if (event.type != KeyEventType::keyDown || parts_->focused == nullptr) {
        return;
    }
    // Keys forwarded a moment ago may not have reached the field yet: a key typed after them
    // takes the same way, or it would land before them.
    if (isPrintable(event.textView()) && (event.flags & typingModifiers) == 0 &&
        !forwardedLately()) {
        ibus_engine_commit_text(parts_->focused,
                                ibus_text_new_from_string(utf8Of(event.textView()).c_str()));
        return;
    }
    const auto evdev = evdevForMacKey(event.keyCode).value_or(8);
    const auto state = stateForMacFlags(event.flags, roles_).value_or(0);
    ibus_engine_forward_key_event(parts_->focused, event.native, evdev - 8u, state);
    ibus_engine_forward_key_event(parts_->focused, event.native, evdev - 8u,
                                  state | IBUS_RELEASE_MASK);
    noteForwarded();
}

void IBusInputMethod::onMain(const std::function<void()>& work) const {
    mainThread_.runAndWait(work, stopped_);
}

bool IBusInputMethod::forwardedLately() const {
    return std::chrono::steady_clock::now() <
           std::chrono::steady_clock::time_point(std::chrono::nanoseconds(forwardedUntil_.load()));
}

void IBusInputMethod::waitForForwardedKeys() const {
    const std::chrono::steady_clock::time_point until(
        std::chrono::nanoseconds(forwardedUntil_.load()));
    std::this_thread::sleep_until(until);
}

void IBusInputMethod::noteForwarded(std::size_t keys) {
    const auto lag = forwardedKeyLag + static_cast<long>(keys) * forwardedKeyLagEach;
    forwardedUntil_ = (std::chrono::steady_clock::now() + lag).time_since_epoch().count();
}

void IBusInputMethod::erase(std::size_t characters, std::size_t codePoints) {
    waitForForwardedKeys();
    onMain([this, characters, codePoints] {
        IBusEngine* engine = parts_->focused;
        if (engine == nullptr) {
            return;
        }
        if ((engine->client_capabilities & IBUS_CAP_SURROUNDING_TEXT) != 0) {
            const auto count = static_cast<gint>(codePoints);
            ibus_engine_delete_surrounding_text(engine, -count, static_cast<guint>(count));
            return;
        }
        for (std::size_t i = 0; i < characters; ++i) {
            ibus_engine_forward_key_event(engine, IBUS_KEY_BackSpace, 14, 0);
            ibus_engine_forward_key_event(engine, IBUS_KEY_BackSpace, 14, IBUS_RELEASE_MASK);
        }
        noteForwarded(characters);
    });
}

void IBusInputMethod::commit(std::string_view text) {
    waitForForwardedKeys();
    onMain([this, text] {
        if (parts_->focused != nullptr) {
            ibus_engine_commit_text(parts_->focused,
                                    ibus_text_new_from_string(std::string(text).c_str()));
        }
    });
}

void IBusInputMethod::forwardKey(platform::KeyCode keyCode, EventFlags flags) {
    onMain([this, keyCode, flags] {
        IBusEngine* engine = parts_->focused;
        const auto keyval = keySymForMacKey(keyCode);
        const auto evdev = evdevForMacKey(keyCode);
        if (engine == nullptr || !keyval || !evdev) {
            return;
        }
        // The replacer's Command-C and Command-V are copy and paste: Ctrl+C and Ctrl+V, and in a
        // terminal (which says so with its purpose) Ctrl+Shift+C and Ctrl+Shift+V, since Ctrl+C
        // there interrupts the program.
        const bool clipboardKey =
            (flags & platform::flag::modifierMask) == platform::flag::command &&
            (keyCode == platform::key::c || keyCode == platform::key::v);
        const guint clipboardState = parts_->focusedPurpose == IBUS_INPUT_PURPOSE_TERMINAL
                                         ? guint{IBUS_CONTROL_MASK | IBUS_SHIFT_MASK}
                                         : guint{IBUS_CONTROL_MASK};
        const auto state =
            clipboardKey ? clipboardState : stateForMacFlags(flags, roles_).value_or(0);
        ibus_engine_forward_key_event(engine, *keyval, *evdev - 8u, state);
        ibus_engine_forward_key_event(engine, *keyval, *evdev - 8u, state | IBUS_RELEASE_MASK);
        noteForwarded();
    });
}

std::optional<std::string> IBusInputMethod::selectedText() const {
    std::optional<std::string> selected;
    onMain([this, &selected] {
        IBusEngine* engine = parts_->focused;
        if (engine == nullptr || (engine->client_capabilities & IBUS_CAP_SURROUNDING_TEXT) == 0) {
            return;
        }
        IBusText* text = nullptr;
        guint cursor = 0;
        guint anchor = 0;
        ibus_engine_get_surrounding_text(engine, &text, &cursor, &anchor);
        const gchar* all = text != nullptr ? ibus_text_get_text(text) : "";
        // GTK 3 tells no selection with the text (the anchor is the cursor): the copy keys
        // find out, and tell an empty selection too.
        if (cursor == anchor) {
            return;
        }
        const auto from = std::min(cursor, anchor);
        const auto to = std::max(cursor, anchor);
        const auto length = static_cast<guint>(g_utf8_strlen(all, -1));
        if (to > length) {
            return;
        }
        const gchar* begin = g_utf8_offset_to_pointer(all, from);
        const gchar* end = g_utf8_offset_to_pointer(all, to);
        selected = std::string(begin, end);
    });
    return selected;
}

} // namespace quillo::linuxdesktop
