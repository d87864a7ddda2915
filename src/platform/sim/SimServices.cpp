#include "platform/sim/SimServices.h"

#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quillo::sim {

using platform::Bytes;
using platform::FileError;
using platform::PasteboardItem;

// --- Pasteboard ------------------------------------------------------------------------------

void SimPasteboard::wroteByProgram() {
    if (writer_ != Writer::program) {
        concealed_ = false;
    }
    writer_ = Writer::program;
    ++changeCount_;
}

void SimPasteboard::clearContents() {
    items_.clear();
    concealed_ = false;
    wroteByProgram();
}

void SimPasteboard::writeItems(const std::vector<PasteboardItem>& items) {
    items_.insert(items_.end(), items.begin(), items.end());
    wroteByProgram();
}

void SimPasteboard::setConcealedString(std::string_view text) {
    setString(text);
    concealed_ = true;
}

void SimPasteboard::setString(std::string_view text) {
    if (items_.empty()) {
        items_.emplace_back();
    }
    auto& representations = items_.front().representations;
    Bytes data(text.begin(), text.end());
    auto existing = std::find_if(representations.begin(), representations.end(), [](auto& r) {
        return r.first == platform::Pasteboard::plainTextType;
    });
    if (existing != representations.end()) {
        existing->second = std::move(data);
    } else {
        representations.emplace_back(std::string(platform::Pasteboard::plainTextType),
                                     std::move(data));
    }
    wroteByProgram();
}

std::optional<std::string> SimPasteboard::string() const {
    for (const PasteboardItem& item : items_) {
        for (const auto& [type, data] : item.representations) {
            if (type == platform::Pasteboard::plainTextType) {
                return std::string(data.begin(), data.end());
            }
        }
    }
    return std::nullopt;
}

void SimPasteboard::replace(std::vector<PasteboardItem> items) {
    items_ = std::move(items);
    writer_ = Writer::other;
    concealed_ = false;
    ++changeCount_;
}

void SimPasteboard::copyFromField(std::string_view text) {
    items_ = {
        {{{std::string(platform::Pasteboard::plainTextType), Bytes(text.begin(), text.end())}}}};
    writer_ = Writer::field;
    concealed_ = false;
    ++changeCount_;
}

std::optional<std::string> SimPasteboard::readForField() {
    if (writer_ == Writer::program) {
        ++focusedReads_;
    }
    return string();
}

// --- Preferences and the login item -----------------------------------------------------------

std::optional<bool> SimPreferences::boolValue(std::string_view key) const {
    auto found = values_.find(key);
    if (found == values_.end()) {
        return std::nullopt;
    }
    if (const bool* value = std::get_if<bool>(&found->second)) {
        return *value;
    }
    return std::nullopt;
}

void SimPreferences::setBool(std::string_view key, bool value) {
    values_.insert_or_assign(std::string(key), value);
    ++writes_;
}

void SimPreferences::plantString(std::string key, std::string value) {
    values_.insert_or_assign(std::move(key), std::move(value));
}

std::optional<std::string> SimLoginItem::setEnabled(bool enabled) {
    if (error_) {
        return error_;
    }
    enabled_ = enabled;
    return std::nullopt;
}

// --- Files ------------------------------------------------------------------------------------

namespace {

FileError errnoError(const std::string& what, const std::filesystem::path& path, int error) {
    return FileError{"Could not " + what + " " + path.string() + ": " + std::strerror(error)};
}

// Closes the descriptor on every way out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting the error that close() can give (a late write failure on some
    // file systems).
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

  private:
    int fd_;
};

bool writeAll(int fd, const Bytes& data) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::optional<std::filesystem::path> SimFiles::dataFolder() const {
    if (root_.empty()) {
        return std::nullopt;
    }
    return root_;
}

bool SimFiles::exists(const std::filesystem::path& path) const {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

std::optional<FileError> SimFiles::createFolder(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    if (error) {
        return errnoError("create the folder", path, error.value());
    }
    if (!std::filesystem::is_directory(path, error)) {
        return errnoError("create the folder", path, ENOTDIR);
    }
    return std::nullopt;
}

std::optional<FileError> SimFiles::move(const std::filesystem::path& from,
                                        const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int error = errno;
        return FileError{"Could not move " + from.string() + " to " + to.string() + ": " +
                         std::strerror(error)};
    }
    return std::nullopt;
}

platform::Result<Bytes> SimFiles::read(const std::filesystem::path& path,
                                       std::size_t maxBytes) const {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return {std::nullopt, errnoError("read", path, errno)};
    }
    const auto tooLarge = [&] {
        return FileError{"Could not read " + path.string() + ": it is larger than the limit of " +
                         std::to_string(maxBytes) + " bytes"};
    };
    Bytes data;
    // One allocation of the file's size: a growing buffer would copy a large snippets file
    // several times over, and touching that much fresh memory is what makes a start-up slow.
    struct stat info {};
    if (::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
            return {std::nullopt, tooLarge()};
        }
        data.reserve(static_cast<std::size_t>(info.st_size));
    }
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {std::nullopt, errnoError("read", path, errno)};
        }
        if (n == 0) {
            break;
        }
        if (static_cast<std::size_t>(n) > maxBytes - data.size()) {
            return {std::nullopt, tooLarge()};
        }
        data.insert(data.end(), buffer, buffer + n);
    }
    return {std::move(data), {}};
}

std::optional<FileError> SimFiles::writeAtomically(const std::filesystem::path& path,
                                                   const Bytes& data) {
    // The new contents go to a file of their own beside the old one and take its name in one
    // rename, which is atomic within a folder; the syncs make the rename durable only after the
    // data is.
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string temporary = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    Descriptor file(::mkstemp(temporary.data()));
    if (file.get() < 0) {
        return errnoError("write", path, errno);
    }
    auto fail = [&](int error) {
        ::unlink(temporary.c_str());
        return errnoError("write", path, error);
    };
    // Replacing a file keeps the permissions its owner gave it.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        ::fchmod(file.get(), old.st_mode & 07777);
    }
    if (!writeAll(file.get(), data) || ::fsync(file.get()) != 0) {
        return fail(errno);
    }
    if (file.close() != 0) {
        return fail(errno);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail(errno);
    }
    Descriptor folderFile(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFile.get() < 0 || ::fsync(folderFile.get()) != 0) {
        // The file is in place; only its durability across a power cut is in doubt.
        return errnoError("write", path, errno);
    }
    return std::nullopt;
}

// --- Network ----------------------------------------------------------------------------------

void SimNetwork::setResponse(std::string url, std::optional<std::string> body,
                             std::chrono::microseconds latency) {
    responses_.insert_or_assign(std::move(url), Response{std::move(body), latency});
}

void SimNetwork::get(const std::string& url, std::chrono::milliseconds timeout,
                     std::size_t maxBytes, std::function<void(platform::HttpResponse)> completion) {
    requested_.push_back(url);
    std::chrono::microseconds delay = timeout;
    std::optional<Bytes> body;
    auto found = responses_.find(url);
    if (found != responses_.end() && found->second.latency <= timeout) {
        delay = found->second.latency;
        const std::optional<std::string>& answer = found->second.body;
        if (answer && answer->size() <= maxBytes) {
            body = Bytes(answer->begin(), answer->end());
        }
    }
    // The answer comes on a worker, as a real one would: callers may not count on the main
    // thread.
    scheduler_.runInBackground(
        [this, delay, body = std::move(body), completion = std::move(completion)]() mutable {
            scheduler_.sleep(delay);
            completion(platform::HttpResponse{std::move(body)});
        });
}

// --- The rest ---------------------------------------------------------------------------------

std::string SimAccessibilityTrust::untrustedReason() const {
    if (trusted) {
        return {};
    }
    return "Quillo is not allowed to watch and type on the keyboard. Allow it in the system's "
           "accessibility settings, then try again.";
}

std::size_t SimAlerts::run(const platform::Alert& alert) {
    shown.push_back(alert);
    if (answers.empty()) {
        return 0;
    }
    const std::size_t answer = answers.front();
    answers.pop_front();
    return answer;
}

std::u16string SimKeyboardLayout::textForKey(platform::KeyCode keyCode) const {
    return usKeyboard::textFor(keyCode, false);
}

} // namespace quillo::sim
