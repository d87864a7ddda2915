// The simulated desktop's services that keep state of their own: what the program asks of them
// is recorded or answered from memory (or, for files, from a real folder), and the test sets the
// answers through SimDesktop.
#pragma once

#include "platform/Platform.h"
#include "platform/posix/PosixFiles.h"
#include "platform/sim/VirtualScheduler.h"

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quillo::sim {

class SimPasteboard final : public platform::Pasteboard {
  public:
    // Who put the contents there: the program through this service, the focused field copying
    // its selection, or another application (the test).
    enum class Writer { program, field, other };

    std::int64_t changeCount() const override { return changeCount_; }
    std::vector<platform::PasteboardItem> items() const override { return items_; }
    void clearContents() override;
    // Adds the items after those already there: write after clearContents() to replace.
    void writeItems(const std::vector<platform::PasteboardItem>& items) override;
    void setString(std::string_view text) override;
    void setConcealedString(std::string_view text) override;
    std::optional<std::string> string() const override;
    std::int64_t focusedReads() const override { return focusedReads_; }
    bool ownsContents() const override { return writer_ == Writer::program; }

    const std::vector<platform::PasteboardItem>& contents() const { return items_; }
    Writer writer() const { return writer_; }
    bool concealed() const { return concealed_; }
    // Another application replacing the contents.
    void replace(std::vector<platform::PasteboardItem> items);
    // The focused field copying its selection.
    void copyFromField(std::string_view text);
    // The focused field reading the contents for a paste.
    std::optional<std::string> readForField();

  private:
    void wroteByProgram();

    std::vector<platform::PasteboardItem> items_;
    std::int64_t changeCount_ = 0;
    std::int64_t focusedReads_ = 0;
    Writer writer_ = Writer::other;
    bool concealed_ = false;
};

class SimPreferences final : public platform::Preferences {
  public:
    std::optional<bool> boolValue(std::string_view key) const override;
    void setBool(std::string_view key, bool value) override;
    std::optional<std::int64_t> integerValue(std::string_view key) const override;
    void setInteger(std::string_view key, std::int64_t value) override;

    void plantString(std::string key, std::string value);

  private:
    template <typename T>
    std::optional<T> valueOf(std::string_view key) const;

    std::map<std::string, std::variant<bool, std::string, std::int64_t>, std::less<>> values_;
};

class SimLoginItem final : public platform::LoginItem {
  public:
    bool isEnabled() const override { return enabled_; }
    std::optional<std::string> setEnabled(bool enabled) override;

    void setEnabledDirectly(bool enabled) { enabled_ = enabled; }
    void setError(std::optional<std::string> error) { error_ = std::move(error); }

  private:
    bool enabled_ = false;
    std::optional<std::string> error_;
};

// Real files in a folder of the test's: the program's own reading and writing is what its tests
// exercise. The watch is the desktop's: it hears of the program's own writes and moves, as a
// system's would, and of the changes that a test makes as another program (SimDesktop), and
// tells on the main thread's next turn.
class SimFiles final : public platform::Files, public platform::FileWatcher {
  public:
    SimFiles(VirtualScheduler& scheduler, std::optional<std::filesystem::path> dataFolder)
        : scheduler_(scheduler), files_(std::move(dataFolder)) {}

    std::optional<std::filesystem::path> dataFolder() const override { return files_.dataFolder(); }
    bool exists(const std::filesystem::path& path) const override { return files_.exists(path); }
    std::optional<platform::FileError> createFolder(const std::filesystem::path& path) override {
        return files_.createFolder(path);
    }
    std::optional<platform::FileError> move(const std::filesystem::path& from,
                                            const std::filesystem::path& to) override;
    platform::Result<platform::Bytes> read(const std::filesystem::path& path,
                                           std::size_t maxBytes) const override {
        return files_.read(path, maxBytes);
    }
    std::optional<platform::FileError> writeAtomically(const std::filesystem::path& path,
                                                       const platform::Bytes& data) override;
    std::optional<platform::FileIdentity>
    identify(const std::filesystem::path& path) const override {
        return files_.identify(path);
    }

    platform::Result<std::unique_ptr<Watch>> watch(const std::filesystem::path& path,
                                                   std::function<void()> changed) override;
    // Tells the watches of the file at `path`.
    void changed(const std::filesystem::path& path);

  private:
    struct Watched {
        std::filesystem::path path;
        std::function<void()> changed;
    };
    VirtualScheduler& scheduler_;
    posix::PosixFiles files_;
    std::vector<std::weak_ptr<Watched>> watches_;
};

class SimNetwork final : public platform::Network {
  public:
    explicit SimNetwork(VirtualScheduler& scheduler) : scheduler_(scheduler) {}

    void get(const std::string& url, std::chrono::milliseconds timeout, std::size_t maxBytes,
             std::function<void(platform::HttpResponse)> completion) override;

    void setResponse(std::string url, std::optional<std::string> body,
                     std::chrono::microseconds latency);
    const std::vector<std::string>& requestedUrls() const { return requested_; }

  private:
    struct Response {
        std::optional<std::string> body;
        std::chrono::microseconds latency;
    };
    VirtualScheduler& scheduler_;
    std::map<std::string, Response> responses_;
    std::vector<std::string> requested_;
};

class SimWorkspace final : public platform::Workspace {
  public:
    explicit SimWorkspace(VirtualScheduler& scheduler) : scheduler_(scheduler) {}

    std::optional<std::string> frontmostApplicationId() const override { return frontmost; }
    // The id, then the aliases.
    std::vector<std::string> frontmostApplicationNames() const override;
    bool ownWindowHasFocus() const override { return ownWindowFocused; }
    void openUrl(const std::string& url) override { opened.push_back(url); }
    std::vector<platform::Application> applications() const override { return installed; }
    std::optional<platform::WindowId> focusedWindow() const override { return focused; }
    bool isOwnWindow(platform::WindowId window) const override;
    // The window has the focus `focusLatency` later, or never while `refusesFocus`.
    void focusWindow(platform::WindowId window, std::chrono::milliseconds limit,
                     std::function<void(bool)> done) override;

    std::optional<std::string> frontmost;
    // The other names the frontmost application goes by, as a desktop with two ways of naming
    // applications tells them.
    std::vector<std::string> aliases;
    bool ownWindowFocused = false;
    std::vector<std::string> opened;
    std::vector<platform::Application> installed;
    std::optional<platform::WindowId> focused = 1;
    std::vector<platform::WindowId> ownWindows;
    std::chrono::microseconds focusLatency{20'000};
    bool refusesFocus = false;

  private:
    VirtualScheduler& scheduler_;
};

class SimSecureInput final : public platform::SecureInput {
  public:
    bool isSecureInputEnabled() const override { return on; }
    std::string limitation() const override { return limitationText; }
    bool on = false;
    std::string limitationText;
};

class SimAccessibilityTrust final : public platform::AccessibilityTrust {
  public:
    bool isTrusted() const override { return trusted; }
    void requestTrust() override { ++requests; }
    std::string untrustedReason() const override;
    std::optional<platform::InputSource> inputSource() const override { return source; }

    bool trusted = true;
    int requests = 0;
    std::optional<platform::InputSource> source;
};

class SimSound final : public platform::Sound {
  public:
    void play(std::string_view name) override { played.emplace_back(name); }
    std::vector<std::string> played;
};

class SimAlerts final : public platform::Alerts {
  public:
    std::size_t run(const platform::Alert& alert) override;
    std::vector<platform::Alert> shown;
    std::deque<std::size_t> answers;
};

class SimKeyboardLayout final : public platform::KeyboardLayout {
  public:
    std::u16string textForKey(platform::KeyCode keyCode) const override;
    // The simulated desktop's presses reach no window of the program.
    std::optional<platform::KeyCode> keyForNativeCodes(std::uint32_t,
                                                       std::uint32_t) const override {
        return std::nullopt;
    }
};

} // namespace quillo::sim
