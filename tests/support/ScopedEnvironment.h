// Sets environment variables for one test and puts the old values back afterwards.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace quillo::testing {

class ScopedEnvironment {
  public:
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            put(name, value);
        }
    }

    // None removes the variable.
    void set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name.c_str());
        saved_.try_emplace(name, old ? std::optional<std::string>(old) : std::nullopt);
        put(name, value);
    }

  private:
    static void put(const std::string& name, const std::optional<std::string>& value) {
        value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }

    std::map<std::string, std::optional<std::string>> saved_;
};

} // namespace quillo::testing
