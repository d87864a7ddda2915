// A 128-bit identity of a snippet or a macro step.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillo::model {

class Uuid {
public:
    Uuid() = default; // the nil UUID
    explicit Uuid(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}

    static Uuid random();
    // Accepts the 36-character hyphenated form (8-4-4-4-12) in either letter case.
    static std::optional<Uuid> parse(std::string_view text);
    // The hyphenated form in upper case.
    std::string toString() const;

    const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
    auto operator<=>(const Uuid&) const = default;

private:
    std::array<std::uint8_t, 16> bytes_{};
};

} // namespace quillo::model

template <>
struct std::hash<quillo::model::Uuid> {
    std::size_t operator()(const quillo::model::Uuid& uuid) const noexcept;
};
