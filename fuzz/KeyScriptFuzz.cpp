// Whatever a user passes as KEYS to the dry run, reading it never crashes.
#include "main/KeyScript.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view script(reinterpret_cast<const char*>(data), size);
    auto parsed = quillo::main::parseKeyScript(script);
    (void)parsed;
    return 0;
}
