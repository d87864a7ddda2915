#include "model/FileVersion.h"

#include <functional>
#include <string_view>

namespace quillo::model {

FileVersion FileVersion::of(const platform::FileIdentity& identity,
                            const platform::Bytes& contents) {
    const std::string_view text(reinterpret_cast<const char*>(contents.data()), contents.size());
    return FileVersion{identity, std::hash<std::string_view>{}(text)};
}

} // namespace quillo::model
