// The keyboard and the text field as an IBus engine reaches them: Quillo's way in and out where
// the X server cannot be watched (Wayland, XWayland, a server without RECORD).
//
// The running program registers the engine "quillo" on the IBus bus itself, so that any install
// prefix works; the component file installed with the program only lets IBus list it. IBus runs
// the engine in place of the layout's input source, one instance per input context; the one
// focused last is the field that is typed into and written to.
//
// Keys in: each key press of the focused field reaches the handler on the main thread (GLib's
// main loop is Qt's) and is answered at once. A key the handler lets pass is offered to IBus's
// simple engine, which does the dead keys and compose; what neither takes, a printable
// character, is committed by this engine itself, so that everything the field receives while a
// shortcut is typed comes down one ordered channel with the expansion's own writes. The text
// the handler is told for a key is the composed one (a dead acute and "e" give "é"), from the
// same compose tables.
//
// Text out: the replacer's worker asks; each request runs on the main thread in turn and is
// waited for, so that the writes reach the field in the order asked and before the expansion is
// reported finished.
//
// The password and PIN purposes that a field announces make it a secure field.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/TaskReceiver.h"
#include "platform/linux/X11KeyCodes.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct _GDBusConnection;

namespace quillo::linuxdesktop {

class IBusInputMethod final : public platform::KeyboardTap, public platform::TextInput {
  public:
    // The engine's IBus name, and the component that carries it.
    static constexpr const char* engineName = "quillo";
    static constexpr const char* componentName = "io.github.quillo.Quillo.IBus";

    // `roles` says which X modifier bits are Alt and Super: IBus reports the X state.
    explicit IBusInputMethod(ModifierRoles roles);
    ~IBusInputMethod() override;
    IBusInputMethod(const IBusInputMethod&) = delete;
    IBusInputMethod& operator=(const IBusInputMethod&) = delete;

    // Connects to the IBus daemon and registers the engine, now or once the daemon appears.
    bool start(Handler handler) override;
    bool isRunning() const { return started_; }
    // Makes the engine the active one (for the tests and `--input-method`); IBus would otherwise
    // wait for the user to choose it.
    void activate();

    void beginHold(std::function<void(bool held)> established) override;
    void replay(const platform::KeyEvent& event) override;
    void endHold() override;
    // Any key reaches the engine before the field: nothing has to be asked for beforehand.
    void setHotkeys(std::vector<platform::Hotkey>) override {}

    bool isActive() const override { return started_; }
    void erase(std::size_t characters, std::size_t codePoints) override;
    void commit(std::string_view text) override;
    void forwardKey(platform::KeyCode keyCode, platform::EventFlags flags) override;
    // Where the field tells its selection with its text (Qt); none where it does not (GTK 3).
    std::optional<std::string> selectedText() const override;

    // What the focused field's input context says it is: the toolkit's module and, for GTK, the
    // program's name ("gtk3-im:zenity"); "gnome-shell" for any Wayland program in GNOME, whose
    // compositor hands the keys on. Empty where IBus tells nothing.
    std::string focusedClient() const;
    // The program a client names ("zenity"); none for a client that names no program.
    static std::optional<std::string> programOfClient(std::string_view client);

    // Whether the focused field announced a password or PIN.
    bool isSecureField() const { return secureField_.load(); }
    // How many times a field has taken the focus; a field's keys come after its focus.
    std::uint64_t focusChanges() const { return focusChanges_.load(); }

    // The engine's answer to a key press or release as IBus reports it (key symbol, evdev key
    // code, X state), for the engine object and the benchmark: true when the field is not to
    // see it.
    struct Engine;
    bool onKey(Engine* engine, std::uint32_t keyval, std::uint32_t keycode, std::uint32_t state);
    void onFocus(Engine* engine, bool in);
    void onContentType(Engine* engine, unsigned purpose);
    // None: the engine is gone.
    void onClient(Engine* engine, std::optional<std::string> client);
    // The factory made an engine for IBus; IBus destroyed one.
    void onEngineMade(Engine* engine);
    void onEngineGone(Engine* engine);
    // An engine object exported on `connection` that no input context uses: its commits go out
    // as signals that nobody reads. For timing the key path without a daemon. Freed with
    // g_object_unref.
    static Engine* unusedEngine(_GDBusConnection* connection);
    void stop();

  private:
    platform::KeyEvent eventFor(std::uint32_t keyval, std::uint32_t keycode, std::uint32_t state,
                                std::u16string composed) const;
    void onMain(const std::function<void()>& work) const;
    void registerEngine();
    // Whether IBus knows the engine already, from the component file installed with Quillo.
    bool isListedByIBus() const;
    void resumeIfEngineWasInUse();
    // The daemon (its address) on which Quillo's engine was last the active input source, as a
    // file in the session's runtime folder that outlives the process; none when the user chose
    // another source since.
    static std::optional<std::string> daemonOfEngineInUse();
    // Empty where the session has no runtime folder.
    static std::filesystem::path inUseMarker();
    // Whether a key forwarded to the field may still be on its way there; then waits for it.
    bool forwardedLately() const;
    void waitForForwardedKeys() const;
    void noteForwarded(std::size_t keys = 1);

    struct Parts;
    std::unique_ptr<Parts> parts_;
    ModifierRoles roles_;
    Handler handler_;
    bool started_ = false;
    bool holding_ = false;
    std::atomic<bool> secureField_{false};
    std::atomic<std::uint64_t> focusChanges_{0};
    std::atomic<bool> stopped_{false};
    // Until when (the steady clock's nanoseconds) the keys forwarded last may be on their way.
    std::atomic<std::int64_t> forwardedUntil_{0};
    mutable TaskReceiver mainThread_;
};

} // namespace quillo::linuxdesktop
