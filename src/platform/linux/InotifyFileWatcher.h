// Follows files through inotify, on the Qt main loop.
//
// The folder is watched rather than the file: an editor or a sync tool that writes a new file and
// renames it over the old one would leave a watch on the file following the old one, which no
// longer has a name. The folder's events for the file's name (written, created, moved in or out,
// deleted) call the watch. Where the path is a symbolic link, the folder of the file it names is
// watched as well, for that file is the one that changes.
#pragma once

#include "platform/Platform.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace quillo::linuxdesktop {

class InotifyFileWatcher final : public platform::FileWatcher {
  public:
    // Created on the main thread, after the application object.
    InotifyFileWatcher();
    ~InotifyFileWatcher() override;
    InotifyFileWatcher(const InotifyFileWatcher&) = delete;
    InotifyFileWatcher& operator=(const InotifyFileWatcher&) = delete;

    platform::Result<std::unique_ptr<Watch>> watch(const std::filesystem::path& path,
                                                   std::function<void()> changed) override;

  private:
    struct State;
    class Handle;
    // Shared with the watches, which may outlive the watcher.
    std::shared_ptr<State> state_;
};

} // namespace quillo::linuxdesktop
