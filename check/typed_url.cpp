#include "check/typed_url.h"

namespace check {

namespace {

// A pasted URL often brings a space, a tab or a line break along; none of them is ever part of
// an address.
bool isControlOrSpace(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

bool isTabOrLineBreak(char c)
{
    return c == '\t' || c == '\n' || c == '\r';
}

} // namespace

std::string browserUrl(std::string_view typed)
{
    while (!typed.empty() && isControlOrSpace(typed.front()))
        typed.remove_prefix(1);
    while (!typed.empty() && isControlOrSpace(typed.back()))
        typed.remove_suffix(1);

    std::string url;
    url.reserve(typed.size());
    for (const char c : typed) {
        if (isTabOrLineBreak(c))
            continue;
        if (c == ' ')
            url += "%20";
        else
            url += c;
    }
    return url;
}

} // namespace check
