#include "platform/posix/PosixFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quillo::posix {

namespace fs = std::filesystem;
using platform::Bytes;
using platform::FileError;

namespace {

FileError errnoError(const std::string& what, const fs::path& path, int error) {
    return FileError{"Could not " + what + " " + path.string() + ": " + std::strerror(error)};
}

// Closes the descriptor on every way out.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    // Closes now and reports what close() says: some file systems report a failed write only
    // there.
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

// A hidden name beside the file that no other file has yet.
std::string temporaryName(const fs::path& folder, const fs::path& file) {
    static constexpr char letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string suffix(8, ' ');
    for (char& c : suffix) {
        c = letters[pick(random)];
    }
    return (folder / ("." + file.filename().string() + "." + suffix + ".tmp")).string();
}

// Gives the finished, unnamed file a temporary name, from which it can be renamed over the old
// one (a link cannot replace a file).
int nameUnnamedFile(int fd, const fs::path& folder, const fs::path& file, std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = temporaryName(folder, file);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

} // namespace

platform::Result<Bytes> readFile(const fs::path& path, std::size_t maxBytes) {
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

std::optional<FileError> createFolders(const fs::path& path) {
    fs::path level;
    for (const fs::path& part : path) {
        level /= part;
        struct stat existing {};
        if (::stat(level.c_str(), &existing) == 0) {
            if (!S_ISDIR(existing.st_mode)) {
                return errnoError("create the folder", path, ENOTDIR);
            }
            continue;
        }
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            return errnoError("create the folder", path, errno);
        }
    }
    return std::nullopt;
}

std::optional<FileError> writeFileAtomically(const fs::path& path, const Bytes& data) {
    // Replacing a link would cut the user's own arrangement (a snippets file kept with their
    // other dotfiles, say); the file it names is what they mean.
    fs::path target = path;
    std::error_code code;
    if (fs::is_symlink(fs::symlink_status(path, code))) {
        if (fs::path resolved = fs::canonical(path, code); !code) {
            target = std::move(resolved);
        }
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    mode_t mode = 0600;
    if (struct stat old{}; ::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    }

    // An unnamed file vanishes by itself if the program dies before it is complete; a file
    // system without them gets a named temporary file instead.
    std::string temporary;
    Descriptor file(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (file.get() < 0) {
        temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
        file.reset(::mkostemp(temporary.data(), O_CLOEXEC));
        if (file.get() < 0) {
            return errnoError("write", path, errno);
        }
    }
    auto fail = [&](int error) {
        if (!temporary.empty()) {
            ::unlink(temporary.c_str());
        }
        return errnoError("write", path, error);
    };

    if (::fchmod(file.get(), mode) != 0 || !writeAll(file.get(), data) ||
        ::fsync(file.get()) != 0) {
        return fail(errno);
    }
    if (temporary.empty()) {
        if (const int error = nameUnnamedFile(file.get(), folder, target, temporary)) {
            temporary.clear();
            return fail(error);
        }
    }
    if (file.close() != 0) {
        return fail(errno);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(errno);
    }
    // The rename is only as durable as the folder that records it.
    Descriptor folderFile(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFile.get() < 0 || ::fsync(folderFile.get()) != 0) {
        return errnoError("write", path, errno);
    }
    return std::nullopt;
}

std::optional<platform::FileIdentity> PosixFiles::identify(const fs::path& path) const {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    const auto nanoseconds = [](const auto& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return platform::FileIdentity{
        .device = info.st_dev,
        .inode = info.st_ino,
        .size = static_cast<std::uint64_t>(info.st_size),
        .modifiedNs = nanoseconds(info.st_mtim),
        .changedNs = nanoseconds(info.st_ctim),
    };
}

bool PosixFiles::exists(const fs::path& path) const {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::optional<FileError> PosixFiles::createFolder(const fs::path& path) {
    return createFolders(path);
}

std::optional<FileError> PosixFiles::move(const fs::path& from, const fs::path& to) {
    auto failure = [&](int error) {
        return FileError{"Could not move " + from.string() + " to " + to.string() + ": " +
                         std::strerror(error)};
    };
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return std::nullopt;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return failure(errno);
    }
    // A file system that cannot refuse to replace in the rename itself.
    if (struct stat existing{}; ::lstat(to.c_str(), &existing) == 0) {
        return failure(EEXIST);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return failure(errno);
    }
    return std::nullopt;
}

platform::Result<Bytes> PosixFiles::read(const fs::path& path, std::size_t maxBytes) const {
    return readFile(path, maxBytes);
}

std::optional<FileError> PosixFiles::writeAtomically(const fs::path& path, const Bytes& data) {
    return writeFileAtomically(path, data);
}

} // namespace quillo::posix
