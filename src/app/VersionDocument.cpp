#include "app/VersionDocument.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <nlohmann/json.hpp>

namespace quillo::app {

namespace {

using Json = nlohmann::json;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The authority of an address: an optional "user@", a host (a name, or an IPv6 address in
// brackets) and an optional ":port".
bool isAuthorityWithHost(std::string_view authority) {
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    std::string_view port;
    if (authority.starts_with('[')) {
        const auto close = authority.find(']');
        if (close == std::string_view::npos || close == 1) {
            return false;
        }
        std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) {
            return false;
        }
        port = rest.empty() ? rest : rest.substr(1);
    } else {
        const auto colon = authority.find(':');
        if (colon == 0 || authority.empty()) {
            return false;
        }
        if (colon != std::string_view::npos) {
            port = authority.substr(colon + 1);
        }
    }
    return std::all_of(port.begin(), port.end(), isDigit);
}

// Digits with their leading zeros dropped, so that equal numbers are equal text.
std::string_view significant(std::string_view digits) {
    const auto first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : digits.substr(first);
}

std::string_view digitRun(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return text.substr(from, end - from);
}

const std::string* stringMember(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return nullptr;
    }
    return found->get_ptr<const std::string*>();
}

} // namespace

bool isWebAddress(std::string_view url) {
    if (!std::all_of(url.begin(), url.end(), [](char c) { return c > ' ' && c < '\x7f'; })) {
        return false;
    }
    const auto colon = url.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view scheme = url.substr(0, colon);
    if (!equalsIgnoringCase(scheme, "http") && !equalsIgnoringCase(scheme, "https")) {
        return false;
    }
    std::string_view rest = url.substr(colon + 1);
    if (!rest.starts_with("//")) {
        return false;
    }
    rest.remove_prefix(2);
    return isAuthorityWithHost(rest.substr(0, rest.find_first_of("/?#")));
}

std::weak_ordering compareVersions(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::string_view runA = digitRun(a, i);
            const std::string_view runB = digitRun(b, j);
            i += runA.size();
            j += runB.size();
            // Compared as text once the zeros are gone: no run of digits is too long for that.
            const std::string_view numberA = significant(runA);
            const std::string_view numberB = significant(runB);
            if (numberA.size() != numberB.size()) {
                return numberA.size() <=> numberB.size();
            }
            if (const auto order = numberA.compare(numberB); order != 0) {
                return order <=> 0;
            }
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) <=> static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return (a.size() - i) <=> (b.size() - j);
}

std::optional<VersionDocument> parseVersionDocument(const platform::Bytes& body) {
    try {
        // Only the top level is read; dropping deeper values keeps a hostile document from
        // building a deep tree.
        const Json document = Json::parse(
            body.begin(), body.end(),
            [](int depth, Json::parse_event_t, Json&) { return depth <= 1; }, false);
        if (!document.is_object()) {
            return std::nullopt;
        }
        const std::string* version = stringMember(document, "version");
        const std::string* url = stringMember(document, "url");
        if (version == nullptr || url == nullptr || !isWebAddress(*url)) {
            return std::nullopt;
        }
        const std::string* notes = stringMember(document, "notes");
        return VersionDocument{*version, *url, notes != nullptr ? *notes : std::string()};
    } catch (const std::exception&) {
        // Out of memory while parsing: a failure like any other, and silent.
        return std::nullopt;
    }
}

} // namespace quillo::app
