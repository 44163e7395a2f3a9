#include "proxy_bypass.h"

#include "ascii_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <ranges>
#include <string>

#include <arpa/inet.h>

namespace check {

namespace {

constexpr char kSeparator = ',';
constexpr char kInverted = '-';
constexpr char kPortStart = ':';
constexpr char kPrefixStart = '/';
constexpr char kWildcard = '*';
constexpr char kSubdomains = '.';
constexpr std::string_view kSimpleHostnames = "__simple_hostnames__";

struct Address {
    int family = AF_UNSPEC;
    std::array<unsigned char, 16> bytes{}; // network order; IPv4 uses the first four
    std::size_t size() const { return family == AF_INET ? 4 : 16; }
};

std::optional<Address> parseAddress(std::string_view text)
{
    if (text.starts_with('[') && text.ends_with(']'))
        text = text.substr(1, text.size() - 2);
    const std::string terminated(text);
    Address address;
    for (const int family : {AF_INET, AF_INET6}) {
        if (::inet_pton(family, terminated.c_str(), address.bytes.data()) == 1) {
            address.family = family;
            return address;
        }
    }
    return std::nullopt;
}

template <typename Number>
std::optional<Number> parseNumber(std::string_view text)
{
    Number number{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number;
}

// "address", "address/bits" or "address/mask".
bool networkHolds(std::string_view entry, std::string_view host)
{
    const auto prefixStart = entry.find(kPrefixStart);
    const std::optional<Address> network = parseAddress(entry.substr(0, prefixStart));
    const std::optional<Address> address = parseAddress(host);
    if (!network || !address || network->family != address->family)
        return false;
    std::array<unsigned char, 16> mask;
    mask.fill(0xff);
    if (prefixStart != std::string_view::npos) {
        const std::string_view prefix = entry.substr(prefixStart + 1);
        if (const std::optional<Address> given = parseAddress(prefix); given && given->family == network->family) {
            mask = given->bytes;
        } else if (const std::optional<unsigned> bits = parseNumber<unsigned>(prefix)) {
            for (unsigned i = 0; i < mask.size(); ++i) {
                const unsigned kept = std::min(8u, *bits > 8 * i ? *bits - 8 * i : 0u);
                mask[i] = static_cast<unsigned char>(0xff00u >> kept);
            }
        } else {
            return false;
        }
    }
    for (std::size_t i = 0; i < network->size(); ++i) {
        if (((network->bytes[i] ^ address->bytes[i]) & mask[i]) != 0)
            return false;
    }
    return true;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// "name" or "name:port"; a leading "." or "*" stands for every name that ends in what follows.
bool nameMatches(std::string_view entry, std::string_view host, unsigned port)
{
    const auto portStart = entry.rfind(kPortStart);
    // More than one colon is an IPv6 address, not a port.
    if (portStart != std::string_view::npos && entry.find(kPortStart) == portStart) {
        if (const std::optional<unsigned> wanted = parseNumber<unsigned>(entry.substr(portStart + 1))) {
            if (*wanted != port)
                return false;
            entry = entry.substr(0, portStart);
        }
    }
    if (entry.starts_with(kWildcard))
        return endsWithIgnoringCase(host, entry.substr(1));
    if (entry.starts_with(kSubdomains))
        return endsWithIgnoringCase(host, entry);
    return equalsIgnoringCase(host, entry);
}

} // namespace

bool bypassesProxy(std::string_view list, std::string_view host, unsigned port)
{
    const bool inverted = list.starts_with(kInverted);
    if (inverted)
        list.remove_prefix(1);
    bool named = false;
    for (const auto part : std::views::split(list, kSeparator)) {
        const std::string_view entry = trimmed(std::string_view(part.begin(), part.end()));
        if (entry.empty())
            continue;
        named = entry == kSimpleHostnames ? host.find(kSubdomains) == std::string_view::npos
                                          : nameMatches(entry, host, port) || networkHolds(entry, host);
        if (named)
            break;
    }
    return named != inverted;
}

} // namespace check
