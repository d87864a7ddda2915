// The seam between Quillo's logic and the operating system.
//
// Every service that the model, the engine and the application logic need from the desktop is
// one small interface here, named for what the logic needs rather than for how a system
// provides it. A backend (platform/linux, platform/sim) implements them; nothing above this
// header includes a backend header.
//
// Threads: unless an interface says otherwise, its operations are called on the main thread.
// The event poster, the pasteboard and Time::sleep are also used from the background worker.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::platform {

// ---------------------------------------------------------------------------------------------
// Keyboard encoding. Key codes are the ANSI-layout virtual key codes of the Mac keyboard and the
// flag word is the Mac event-flag word, on every platform, so that a snippets file means the
// same keys everywhere. Each backend translates its own key codes and modifiers to and from it.

using KeyCode = std::uint16_t;
using EventFlags = std::uint64_t;

namespace flag {
inline constexpr EventFlags capsLock = 0x10000;
inline constexpr EventFlags shift = 0x20000;
inline constexpr EventFlags control = 0x40000;
inline constexpr EventFlags option = 0x80000;
inline constexpr EventFlags command = 0x100000;
inline constexpr EventFlags numericPad = 0x200000;
inline constexpr EventFlags function = 0x800000;
// The four modifiers that hotkeys and recorded keys consist of.
inline constexpr EventFlags modifierMask = shift | control | option | command;
} // namespace flag

// Key codes the logic names.
namespace key {
inline constexpr KeyCode a = 0;
inline constexpr KeyCode c = 8;
inline constexpr KeyCode v = 9;
inline constexpr KeyCode m = 46;
inline constexpr KeyCode returnKey = 36;
inline constexpr KeyCode tab = 48;
inline constexpr KeyCode space = 49;
inline constexpr KeyCode backspace = 51;
inline constexpr KeyCode escape = 53;
inline constexpr KeyCode forwardDelete = 117;
inline constexpr KeyCode leftArrow = 123;
inline constexpr KeyCode rightArrow = 124;
inline constexpr KeyCode downArrow = 125;
inline constexpr KeyCode upArrow = 126;
} // namespace key

enum class KeyEventType : std::uint32_t {
    // A press of the left, right or middle mouse button: the insertion point may have moved.
    // The wheel is not one.
    mouseDown = 1,
    keyDown = 10,
    keyUp = 11,
    flagsChanged = 12,
    // The keyboard focus went to another window.
    focusChanged = 0x10000,
};

// One keyboard event as it crosses the seam, in either direction. The keyboard tap also reports
// the two events that end a run of typing without a key: a click and a change of window.
struct KeyEvent {
    static constexpr std::size_t maxTextUnits = 4;

    KeyEventType type = KeyEventType::keyDown;
    KeyCode keyCode = 0;
    EventFlags flags = 0;
    // The UTF-16 text the key produces in the current layout (incoming events), or the text to
    // type (outgoing events; empty means "whatever the layout gives this key").
    std::array<char16_t, maxTextUnits> text{};
    std::uint8_t textLength = 0;
    // The backend's own record of an incoming event, so that it can hand a held event to the
    // application exactly as it came; not part of equality.
    std::uint32_t native = 0;

    std::u16string_view textView() const { return {text.data(), textLength}; }
    // Stores at most maxTextUnits units of `units`.
    void setText(std::u16string_view units);

    bool operator==(const KeyEvent& other) const {
        return type == other.type && keyCode == other.keyCode && flags == other.flags &&
               textView() == other.textView();
    }
};

inline void KeyEvent::setText(std::u16string_view units) {
    textLength = static_cast<std::uint8_t>(std::min(units.size(), maxTextUnits));
    for (std::size_t i = 0; i < textLength; ++i) {
        text[i] = units[i];
    }
}

// ---------------------------------------------------------------------------------------------
// Keyboard in and out.

// A key with exactly these modifiers that starts an expansion wherever it is pressed.
struct Hotkey {
    KeyCode keyCode = 0;
    EventFlags modifiers = 0;
    bool operator==(const Hotkey&) const = default;
};

// System-wide key events of the user: key-downs, key-ups and modifier changes, and the clicks
// and window changes that end a run of typing. The handler runs on the main thread, one event at
// a time, and answers true to withhold the event from the focused application.
//
// While an expansion writes, the tap holds the keyboard: from beginHold() on, the user's events
// still reach the handler, in order, but no longer the application, whatever the handler
// answers; the program's own synthetic events reach the application and not the handler. The
// held events are handed to the application later with replay(), so that what the user typed
// meanwhile lands after the expansion instead of inside it.
class KeyboardTap {
  public:
    using Handler = std::function<bool(const KeyEvent&)>;
    virtual ~KeyboardTap() = default;
    // Installs the tap; false when the system refuses it (no permission, no display).
    virtual bool start(Handler handler) = 0;

    // Asks for the hold. `established` runs on the main thread, at once or later: with true once
    // the hold is in force, after every event that reached the application before it has been
    // handed to the handler; with false when the keyboard cannot be held (another program holds
    // it), and the user's events go on reaching the application. Asked while holding, the hold
    // is in force at once.
    virtual void beginHold(std::function<void(bool held)> established) = 0;
    // Hands an event of the user to the focused application now, after those replayed before.
    virtual void replay(const KeyEvent& event) = 0;
    // The user's events reach the application again. A hold asked for and not yet in force is
    // called off: its `established` gets false.
    virtual void endHold() = 0;

    // The hotkeys of the moment, each once, given whenever they change. A system that lets a
    // program withhold a key only when it asked for that key beforehand (X11) asks for these;
    // the handler still decides at each press.
    virtual void setHotkeys(std::vector<Hotkey> hotkeys) = 0;
};

// How long an expansion waits between its stages. Where events may overtake each other or an
// application needs time to catch up with synthetic input (the Mac's schedule, the default), the
// pauses are long; an X server hands one device's events to a client in order, so the X11
// backend's are short.
struct OutputTiming {
    std::chrono::microseconds beforeFirstEvent{50'000};
    std::chrono::microseconds afterEachKey{10'000};
    std::chrono::microseconds afterStage{50'000};
    // After the paste keys the clipboard is given back once the focused application has read it,
    // or after this long: an application that has not read it by then reads what comes back.
    std::chrono::microseconds pasteReadLimit{100'000};
    std::chrono::microseconds afterMacroStep{50'000};
    std::chrono::microseconds beforeMacroRestore{100'000};
    bool operator==(const OutputTiming&) const = default;
};

// Synthetic key presses to the focused application, delivered in posting order. Called on the
// background worker.
class EventPoster {
  public:
    virtual ~EventPoster() = default;
    virtual void post(const KeyEvent& event) = 0;
    // The pauses the applications of this desktop need.
    virtual OutputTiming timing() const { return {}; }
};

// The focused text field as an input method reaches it (IBus: on Wayland the only way in): it is
// written in text, not in synthetic keys, and without the clipboard. Called on the background
// worker; the implementation hands each request to the input method in order.
class TextInput {
  public:
    virtual ~TextInput() = default;
    // Whether the keys come from the input method now: then every expansion writes through it.
    virtual bool isActive() const = 0;
    // Erases before the insertion point: `codePoints` through the field's surrounding text where
    // the program supports it, else `characters` Backspaces forwarded to it.
    virtual void erase(std::size_t characters, std::size_t codePoints) = 0;
    // Inserts the text at the insertion point, in place of the selection.
    virtual void commit(std::string_view text) = 0;
    // A key pressed and released in the program (a macro's Press Key step, Left for {cursor},
    // the copy keys).
    virtual void forwardKey(KeyCode keyCode, EventFlags flags) = 0;
    // The selected text where the program tells it with the surrounding text; none otherwise.
    virtual std::optional<std::string> selectedText() const = 0;
};

// For a desktop where no input method carries the keys.
class NoTextInput final : public TextInput {
  public:
    bool isActive() const override { return false; }
    void erase(std::size_t, std::size_t) override {}
    void commit(std::string_view) override {}
    void forwardKey(KeyCode, EventFlags) override {}
    std::optional<std::string> selectedText() const override { return std::nullopt; }
};

// The text a key gives in the current keyboard layout, with no modifier held.
class KeyboardLayout {
  public:
    virtual ~KeyboardLayout() = default;
    virtual std::u16string textForKey(KeyCode keyCode) const = 0;
    // The key of a press that the window system reported to one of the program's windows, by
    // its scan code and its native virtual key (on X11 the key code and the key symbol); none
    // when the codes do not tell.
    virtual std::optional<KeyCode> keyForNativeCodes(std::uint32_t scanCode,
                                                     std::uint32_t virtualKey) const = 0;
};

// True while a password field (or a password prompt) has the keyboard.
class SecureInput {
  public:
    virtual ~SecureInput() = default;
    virtual bool isSecureInputEnabled() const = 0;
    // A sentence for the user on the password fields that go unnoticed on this desktop; empty
    // when every password field is recognised.
    virtual std::string limitation() const { return {}; }
};

// Where the keys come through an input method, the user chooses it among the desktop's input
// sources in place of the layout's (IBus runs one engine per text field); until then no key
// reaches Quillo. What the desktop says of Quillo's source, and how to add it.
struct InputSource {
    // Quillo is among the input sources: it types whenever that source is selected.
    bool added = false;
    // It is the source selected now; false also where that cannot be told.
    bool selected = false;
    // Why the desktop cannot say whether it is added; empty when it can.
    std::string unknownReason;
    // How to add it, in the desktop's own words, one step a line.
    std::vector<std::string> steps;
    // A command that adds it and keeps every source the user has; empty where there is none.
    std::string command;
    // Whether the request for access opens the desktop's keyboard settings.
    bool requestOpensSettings = false;
    bool operator==(const InputSource&) const = default;
};

// Whether the process may watch and synthesise keyboard input.
class AccessibilityTrust {
  public:
    virtual ~AccessibilityTrust() = default;
    virtual bool isTrusted() const = 0;
    // Asks the system to offer the permission to the user, where such a prompt exists (and
    // opens the keyboard settings where the input source is still to be added).
    virtual void requestTrust() = 0;
    // A sentence for the user on why the process is not trusted; empty when it is.
    virtual std::string untrustedReason() const = 0;
    // Where the keys come through an input method: whether Quillo is an input source; none where
    // the keys come another way. Asked once a second on the main thread, which every key of
    // every program waits for there: it answers from what it has, never waiting on another
    // process.
    virtual std::optional<InputSource> inputSource() const { return std::nullopt; }
};

// ---------------------------------------------------------------------------------------------
// The clipboard. Used from the background worker; a backend marshals to its own thread.

using Bytes = std::vector<std::uint8_t>;

struct PasteboardItem {
    // (type, data) pairs in the item's own order; the type is a MIME type on Linux.
    std::vector<std::pair<std::string, Bytes>> representations;
    bool operator==(const PasteboardItem&) const = default;
};

class Pasteboard {
  public:
    static constexpr std::string_view plainTextType = "text/plain;charset=utf-8";

    virtual ~Pasteboard() = default;
    // Goes up with every change of the contents, by this process or another.
    virtual std::int64_t changeCount() const = 0;
    // Copies of every item with the data of every type.
    virtual std::vector<PasteboardItem> items() const = 0;
    virtual void clearContents() = 0;
    virtual void writeItems(const std::vector<PasteboardItem>& items) = 0;
    // Adds a plain-text representation (UTF-8) to the contents.
    virtual void setString(std::string_view text) = 0;
    // Adds plain text (UTF-8) together with the marks by which clipboard managers know contents
    // not to keep in their history: what an expansion pastes is the user's snippet, not a copy.
    virtual void setConcealedString(std::string_view text) = 0;
    // The plain text of the contents, if there is any.
    virtual std::optional<std::string> string() const = 0;
    // True while the contents are the ones this process wrote last: nobody has copied since.
    virtual bool ownsContents() const = 0;
    // Goes up each time the application with the keyboard focus reads data of contents that
    // this process wrote: the paste has arrived. Reads by anyone else (clipboard managers) and
    // questions for the list of types alone do not count.
    virtual std::int64_t focusedReads() const = 0;
};

// ---------------------------------------------------------------------------------------------
// Other applications and the desktop.

// An application that a snippet's filter can name.
struct Application {
    std::string id;       // what frontmostApplicationId() says while it is in front
    std::string name;     // what the desktop's launcher calls it
    std::string iconName; // a theme icon name or an absolute path; may be empty
    bool isOpen = false;  // it has a window open now
    bool operator==(const Application&) const = default;
};

// A top-level window of the desktop, as the workspace names it (on X11, the window's id).
using WindowId = std::uint64_t;

class Workspace {
  public:
    virtual ~Workspace() = default;
    // The id of the application that has the keyboard focus (a bundle identifier on the Mac,
    // the window's class on X11); none when it cannot be told.
    virtual std::optional<std::string> frontmostApplicationId() const = 0;
    // Every name the application with the keyboard goes by, its id first: a filter may hold
    // another (on Linux a filter written on X11 holds the window class, one written in a Wayland
    // session the launcher's id). Empty when it cannot be told.
    virtual std::vector<std::string> frontmostApplicationNames() const {
        auto id = frontmostApplicationId();
        return id && !id->empty() ? std::vector<std::string>{std::move(*id)}
                                  : std::vector<std::string>{};
    }
    // Whether one of Quillo's own windows has the keyboard. What is typed there (a snippet's own
    // shortcut, a search) is the user's text and never expands.
    virtual bool ownWindowHasFocus() const = 0;
    virtual void openUrl(const std::string& url) = 0;
    // The installed applications and those with a window open now, one entry per id: first the
    // open ones that are not installed, then the installed ones by name.
    virtual std::vector<Application> applications() const = 0;

    // The window that has the keyboard focus; none when no window has it or it cannot be told.
    virtual std::optional<WindowId> focusedWindow() const = 0;
    // Whether the window is one of Quillo's own.
    virtual bool isOwnWindow(WindowId window) const = 0;
    // Gives the window the keyboard focus, as the user's click on it would, and calls `done` on
    // the main thread: with true once the window has the focus, with false if it still has not
    // after `limit` (it has gone, or the desktop refused). Returns at once.
    virtual void focusWindow(WindowId window, std::chrono::milliseconds limit,
                             std::function<void(bool focused)> done) = 0;
};

class Sound {
  public:
    virtual ~Sound() = default;
    // Plays the named sound if the desktop has it; nothing otherwise.
    virtual void play(std::string_view name) = 0;
};

struct Alert {
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons; // the first is the default button
};

class Alerts {
  public:
    virtual ~Alerts() = default;
    // Shows a modal alert and returns the index of the chosen button.
    virtual std::size_t run(const Alert& alert) = 0;
};

// ---------------------------------------------------------------------------------------------
// Persistence.

// A per-user store of preferences: booleans, and integers for what a switch cannot say.
class Preferences {
  public:
    virtual ~Preferences() = default;
    // The stored value when the key holds a boolean; none when it is missing or holds another
    // type.
    virtual std::optional<bool> boolValue(std::string_view key) const = 0;
    virtual void setBool(std::string_view key, bool value) = 0;
    // The same for a whole number.
    virtual std::optional<std::int64_t> integerValue(std::string_view key) const = 0;
    virtual void setInteger(std::string_view key, std::int64_t value) = 0;
};

// Starting the program when the user logs in.
class LoginItem {
  public:
    virtual ~LoginItem() = default;
    virtual bool isEnabled() const = 0;
    // Returns a description of the failure, or none.
    virtual std::optional<std::string> setEnabled(bool enabled) = 0;
};

struct FileError {
    std::string description;
};

template <typename T>
struct Result {
    std::optional<T> value;
    FileError error;
    explicit operator bool() const { return value.has_value(); }
};

// Which file lies at a path, told without reading it: the file system's number for it, its size
// and the times of its last change. A file replaced by a rename or rewritten gets another
// identity, with one exception: file times tick coarsely (every few milliseconds on Linux), so a
// rewrite of the same length within one tick keeps it. Whoever must be sure compares the contents
// too.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

class Files {
  public:
    virtual ~Files() = default;
    // The per-user folder where the program keeps its data; none when there is no such place.
    virtual std::optional<std::filesystem::path> dataFolder() const = 0;
    virtual bool exists(const std::filesystem::path& path) const = 0;
    virtual std::optional<FileError> createFolder(const std::filesystem::path& path) = 0;
    virtual std::optional<FileError> move(const std::filesystem::path& from,
                                          const std::filesystem::path& to) = 0;
    // The whole file. One of more than maxBytes is refused, with a reason that names the limit:
    // before any of it is read when its size shows it, as soon as the limit is passed when it
    // grows meanwhile or is no regular file. Memory stays bounded whatever lies at the path.
    virtual Result<Bytes> read(const std::filesystem::path& path, std::size_t maxBytes) const = 0;
    // Replaces the file as a whole: a reader, or a crash at any instant, sees either the old
    // contents or the new ones.
    virtual std::optional<FileError> writeAtomically(const std::filesystem::path& path,
                                                     const Bytes& data) = 0;
    // The identity of the file at `path` (of the file a link names); none when there is none.
    virtual std::optional<FileIdentity> identify(const std::filesystem::path& path) const = 0;
};

// Tells when a file may have changed, whoever changed it.
class FileWatcher {
  public:
    // Destroying it ends the watch; its callback is not called afterwards.
    class Watch {
      public:
        virtual ~Watch() = default;
    };
    virtual ~FileWatcher() = default;
    // Calls `changed` on the main thread soon after the file at `path` may have changed: written,
    // created, deleted, or replaced by a rename, by this process or another. The name in its
    // folder is watched rather than the file, so that a file replaced by renaming another over
    // it goes on being followed. One call may stand for several changes and a call may come for
    // none: the callback looks for itself. Fails, with the reason, where nothing can be watched.
    virtual Result<std::unique_ptr<Watch>> watch(const std::filesystem::path& path,
                                                 std::function<void()> changed) = 0;
};

// One GET with a timeout. The completion may run on any thread.
struct HttpResponse {
    std::optional<Bytes> body; // none on a transport error or a timeout
};

class Network {
  public:
    virtual ~Network() = default;
    virtual void get(const std::string& url, std::chrono::milliseconds timeout,
                     std::size_t maxBytes, std::function<void(HttpResponse)> completion) = 0;
};

// ---------------------------------------------------------------------------------------------
// Time and threads.

using Clock = std::chrono::steady_clock;

class Timer {
  public:
    // Destroying the timer stops it; its callback is not called afterwards.
    virtual ~Timer() = default;
};

class Time {
  public:
    using Task = std::function<void()>;
    virtual ~Time() = default;

    // Runs the task later on the main thread, after the tasks posted before it.
    virtual void postToMain(Task task) = 0;
    // Calls the task on the main thread every interval until the timer is destroyed.
    virtual std::unique_ptr<Timer> startRepeating(std::chrono::milliseconds interval,
                                                  Task task) = 0;
    // Runs the task on a background worker thread.
    virtual void runInBackground(Task task) = 0;
    // Blocks the calling background worker for the given time.
    virtual void sleep(std::chrono::microseconds duration) = 0;
    virtual Clock::time_point now() const = 0;
};

// ---------------------------------------------------------------------------------------------

// Every service of a desktop, as the program's start-up hands them to the logic. The backend
// owns the objects; they outlive every object that uses them.
struct Services {
    KeyboardTap& keyboardTap;
    EventPoster& eventPoster;
    TextInput& textInput;
    KeyboardLayout& keyboardLayout;
    SecureInput& secureInput;
    AccessibilityTrust& accessibilityTrust;
    Pasteboard& pasteboard;
    Workspace& workspace;
    Sound& sound;
    Alerts& alerts;
    Preferences& preferences;
    LoginItem& loginItem;
    Files& files;
    FileWatcher& fileWatcher;
    Network& network;
    Time& time;
};

} // namespace quillo::platform
