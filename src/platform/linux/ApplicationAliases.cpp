#include "platform/linux/ApplicationAliases.h"

#include <chrono>

namespace quillo::linuxdesktop {

namespace fs = std::filesystem;

ApplicationAliases::ApplicationAliases(std::vector<fs::path> folders)
    : folders_(std::move(folders)) {
    refresh();
}

ApplicationAliases::~ApplicationAliases() {
    if (reading_.valid()) {
        reading_.wait();
    }
}

ApplicationAliases::Stamps ApplicationAliases::stamps() const {
    // The folders and the folders in them (kde4/, wine/), where launchers are looked for too.
    Stamps times;
    for (const fs::path& folder : folders_) {
        std::error_code error;
        times.push_back(fs::last_write_time(folder, error));
        for (auto it = fs::directory_iterator(folder, error);
             !error && it != fs::directory_iterator(); it.increment(error)) {
            if (it->is_directory(error)) {
                times.push_back(fs::last_write_time(it->path(), error));
            }
        }
    }
    return times;
}

void ApplicationAliases::refresh() {
    if (reading_.valid()) {
        if (reading_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            return;
        }
        launchers_ = reading_.get();
        read_ = asked_;
    }
    Stamps now = stamps();
    if (read_ && now == *read_) {
        return;
    }
    asked_ = std::move(now);
    reading_ = std::async(std::launch::async,
                          [folders = folders_] { return installedLauncherNames(folders); });
}

std::vector<std::string> ApplicationAliases::namesOf(std::string_view id) {
    refresh();
    return namesOfApplication(launchers_, id);
}

} // namespace quillo::linuxdesktop
