// The engine on a simulated desktop, with a store in a temporary folder.
#pragma once

#include "engine/TextExpansionEngine.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/sim/SimDesktop.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <string_view>

namespace quillo::testing {

// A folder of its own under the system's temporary folder, removed afterwards.
class TemporaryFolder {
  public:
    TemporaryFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("quillo-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline model::Snippet snippet(std::string shortcut, model::Snippet::TriggerMode mode,
                              std::string replacement) {
    auto s = model::Snippet::make();
    s.shortcut = std::move(shortcut);
    s.triggerMode = mode;
    s.replacement = std::move(replacement);
    return s;
}

inline model::Snippet hotkeySnippet(platform::KeyCode keyCode, platform::EventFlags modifiers,
                                    std::string replacement) {
    auto s = snippet("", model::Snippet::TriggerMode::hotkey, std::move(replacement));
    s.hotkeyKeyCode = keyCode;
    s.hotkeyModifiers = modifiers;
    return s;
}

// Names each case of a parameter table by its `name` field.
struct CaseName {
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        return info.param.name;
    }
};

} // namespace quillo::testing
