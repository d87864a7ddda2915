#include "model/FileVersion.h"

#include <functional>
#include <string_view>

namespace quillo::model {

FileVersion FileVersion::of(const platform::FileIdentity& identity,
                            const platform::Bytes& contents) {
    const std::string_view text(reinterpret_cast<const char*>(contents.data()), contents.size());
    return FileVersion{identity, std::hash<std::string_view>{}(text)};
}

FileSnapshot FileSnapshot::take(const platform::Files& files, const std::filesystem::path& path,
                                std::size_t maxBytes) {
    FileSnapshot snapshot;
    const auto identity = files.identify(path);
    if (!identity) {
        snapshot.contents.error.description = "there is no file at " + path.string();
        return snapshot;
    }
    snapshot.contents = files.read(path, maxBytes);
    snapshot.version = snapshot.contents ? FileVersion::of(*identity, *snapshot.contents.value)
                                         : FileVersion{*identity, 0};
    return snapshot;
}

} // namespace quillo::model
