// An advisory lock (flock) on a file of its own beside the snippets file, for the programs that
// change the snippets file without the running Quillo: `quillo import` and `quillo export` hold
// it exclusively while they read and write, and a starting Quillo takes it before it reads the
// file, so that it reads the file whole and after the change. The lock dies with its process,
// so a killed command leaves none behind.
#pragma once

#include <filesystem>
#include <optional>

namespace quillo::posix {

class FileLock {
  public:
    enum class Mode { shared, exclusive };

    // Waits for the lock; none when the lock file cannot be made (no data folder, a read-only
    // one), where there is nobody to wait for either.
    static std::optional<FileLock> acquire(const std::filesystem::path& lockFile, Mode mode);
    // Takes the lock only if it is free now.
    static std::optional<FileLock> tryAcquire(const std::filesystem::path& lockFile, Mode mode);

    FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    ~FileLock();

    // The lock file in a data folder.
    static std::filesystem::path pathIn(const std::filesystem::path& dataFolder) {
        return dataFolder / "snippets.json.lock";
    }

  private:
    explicit FileLock(int fd) : fd_(fd) {}
    static std::optional<FileLock> take(const std::filesystem::path& lockFile, int operation);

    int fd_;
};

} // namespace quillo::posix
