#include "platform/posix/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace quillo::posix {

std::optional<FileLock> FileLock::take(const std::filesystem::path& lockFile, int operation) {
    std::error_code ignored;
    std::filesystem::create_directories(lockFile.parent_path(), ignored);
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return std::nullopt;
    }
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return FileLock(fd);
}

std::optional<FileLock> FileLock::acquire(const std::filesystem::path& lockFile, Mode mode) {
    return take(lockFile, mode == Mode::shared ? LOCK_SH : LOCK_EX);
}

std::optional<FileLock> FileLock::tryAcquire(const std::filesystem::path& lockFile, Mode mode) {
    return take(lockFile, (mode == Mode::shared ? LOCK_SH : LOCK_EX) | LOCK_NB);
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

} // namespace quillo::posix
