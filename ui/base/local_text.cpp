#include "ui/base/local_text.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <optional>
#include <strings.h>

namespace ui {

namespace {

constexpr std::string_view kUndecodable = "\xEF\xBF\xBD"; // U+FFFD in UTF-8
constexpr std::string_view kUnencodable = "?";

// The charset the locale names, or null when UTF-8 serves. The plain C locale names ASCII, a
// subset of UTF-8: like Qt, take it as UTF-8, so that a non-ASCII URL typed there still
// reaches the network intact instead of as '?'.
const char* legacyCodeset()
{
    const char* codeset = nl_langinfo(CODESET);
    for (const char* utf8Like : {"UTF-8", "utf8", "ANSI_X3.4-1968"}) {
        if (strcasecmp(codeset, utf8Like) == 0)
            return nullptr;
    }
    return codeset;
}

// How many bytes to skip over a sequence the converter rejects, and what stands for it.
struct Rejected {
    std::size_t (*length)(std::string_view rest);
    std::string_view substitute;
};

std::size_t oneByte(std::string_view)
{
    return 1;
}

// A character the locale cannot encode is replaced whole, not byte by byte.
std::size_t utf8Character(std::string_view rest)
{
    std::size_t length = 1;
    while (length < rest.size() && (static_cast<unsigned char>(rest[length]) & 0xC0) == 0x80)
        ++length;
    return length;
}

// Converts with the C library's converter for the pair; nothing when it has none.
std::optional<std::string> convert(const char* to, const char* from, std::string_view input, Rejected rejected)
{
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string output;
    char* in = const_cast<char*>(input.data()); // iconv's signature; it only reads
    std::size_t inLeft = input.size();
    std::array<char, 256> buffer{};
    for (bool done = false; !done;) {
        char* out = buffer.data();
        std::size_t outLeft = buffer.size();
        // Once the input is used up, a last call writes out any shift state the charset keeps.
        const bool flushing = inLeft == 0;
        const std::size_t result
            = flushing ? iconv(cd, nullptr, nullptr, &out, &outLeft) : iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer.data(), buffer.size() - outLeft);
        if (result != static_cast<std::size_t>(-1) || errno != E2BIG) {
            if (flushing)
                done = true;
            else if (result == static_cast<std::size_t>(-1)) { // EILSEQ, or EINVAL at a cut-off end
                const std::size_t skipped = std::min(inLeft, rejected.length(std::string_view(in, inLeft)));
                in += skipped;
                inLeft -= skipped;
                output += rejected.substitute;
            }
        }
    }
    iconv_close(cd);
    return output;
}

} // namespace

QString fromLocal(std::string_view text)
{
    std::optional<std::string> utf8;
    if (const char* codeset = legacyCodeset())
        utf8 = convert("UTF-8", codeset, text, {oneByte, kUndecodable});
    const std::string_view bytes = utf8 ? std::string_view(*utf8) : text;
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toLocal(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    const std::string_view bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    if (const char* codeset = legacyCodeset()) {
        if (auto local = convert(codeset, "UTF-8", bytes, {utf8Character, kUnencodable}))
            return std::move(*local);
    }
    return std::string(bytes);
}

} // namespace ui
