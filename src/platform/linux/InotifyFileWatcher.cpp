#include "platform/linux/InotifyFileWatcher.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <sys/inotify.h>
#include <unistd.h>
#include <vector>

namespace quillo::linuxdesktop {

namespace {

// What happens to a name in a folder when its file is written, replaced or removed. A write in
// steps gives one IN_MODIFY a step, which lets the caller wait until the steps stop.
constexpr std::uint32_t folderEvents =
    IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

} // namespace

struct InotifyFileWatcher::State {
    struct Entry {
        int folder; // the inotify watch of the folder
        std::string name;
        std::function<void()> changed;
    };

    ~State() {
        notifier.reset();
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }

    void remove(std::uint64_t key) {
        const auto found = entries.find(key);
        if (found == entries.end()) {
            return;
        }
        const int folder = found->second.folder;
        entries.erase(found);
        // One inotify watch serves every name in its folder.
        if (std::none_of(entries.begin(), entries.end(),
                         [folder](const auto& entry) { return entry.second.folder == folder; })) {
            ::inotify_rm_watch(descriptor, folder);
        }
    }

    void readEvents() {
        std::vector<std::uint64_t> due;
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t length = ::read(descriptor, buffer, sizeof buffer);
            if (length <= 0) {
                break;
            }
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                // Lost events (the queue overflowed) may have been about any file; a folder
                // that went away took its files with it.
                const bool any = (event->mask & IN_Q_OVERFLOW) != 0;
                const bool folderGone = (event->mask & IN_IGNORED) != 0;
                for (const auto& [key, entry] : entries) {
                    if (any || (entry.folder == event->wd &&
                                (folderGone || (event->len > 0 && entry.name == event->name)))) {
                        due.push_back(key);
                    }
                }
            }
        }
        std::sort(due.begin(), due.end());
        due.erase(std::unique(due.begin(), due.end()), due.end());
        for (const std::uint64_t key : due) {
            // A callback may end its own watch or another's.
            const auto found = entries.find(key);
            if (found != entries.end()) {
                const auto changed = found->second.changed;
                changed();
            }
        }
    }

    int descriptor = -1;
    int openError = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    std::map<std::uint64_t, Entry> entries;
    std::uint64_t nextKey = 1;
};

class InotifyFileWatcher::Handle final : public platform::FileWatcher::Watch {
  public:
    Handle(std::weak_ptr<State> state, std::vector<std::uint64_t> keys)
        : state_(std::move(state)), keys_(std::move(keys)) {}
    ~Handle() override {
        if (const auto state = state_.lock()) {
            for (const std::uint64_t key : keys_) {
                state->remove(key);
            }
        }
    }

  private:
    std::weak_ptr<State> state_;
    std::vector<std::uint64_t> keys_;
};

InotifyFileWatcher::InotifyFileWatcher() : state_(std::make_shared<State>()) {
    state_->descriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    state_->openError = errno;
    if (state_->descriptor >= 0) {
        state_->notifier =
            std::make_unique<QSocketNotifier>(state_->descriptor, QSocketNotifier::Read);
        // A callback may end the watcher itself; what reads the events stays until it is done.
        QObject::connect(state_->notifier.get(), &QSocketNotifier::activated,
                         state_->notifier.get(), [weak = std::weak_ptr<State>(state_)] {
                             if (const auto state = weak.lock()) {
                                 state->readEvents();
                             }
                         });
    }
}

InotifyFileWatcher::~InotifyFileWatcher() = default;

platform::Result<std::unique_ptr<platform::FileWatcher::Watch>>
InotifyFileWatcher::watch(const std::filesystem::path& path, std::function<void()> changed) {
    const auto failure = [&path](int error) {
        return platform::Result<std::unique_ptr<Watch>>{
            std::nullopt, {"Could not watch " + path.string() + ": " + std::strerror(error)}};
    };
    if (state_->descriptor < 0) {
        return failure(state_->openError);
    }
    std::vector<std::filesystem::path> names = {path};
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        if (auto target = std::filesystem::canonical(path, error); !error) {
            names.push_back(std::move(target));
        }
    }
    std::vector<std::uint64_t> keys;
    for (const auto& name : names) {
        const auto folder = name.has_parent_path() ? name.parent_path() : ".";
        const int watch =
            ::inotify_add_watch(state_->descriptor, folder.c_str(), folderEvents | IN_ONLYDIR);
        if (watch < 0) {
            const int reason = errno;
            for (const std::uint64_t key : keys) {
                state_->remove(key);
            }
            return failure(reason);
        }
        const std::uint64_t key = state_->nextKey++;
        state_->entries.emplace(key, State::Entry{watch, name.filename().string(), changed});
        keys.push_back(key);
    }
    return {std::make_unique<Handle>(state_, std::move(keys)), {}};
}

} // namespace quillo::linuxdesktop
