#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace ui {

// The check engine speaks the C library's 8-bit text: its timestamps come from strftime in the
// locale's own charset, and the URL goes to the network and the log the same way. Qt 6 takes
// "local 8-bit" to be UTF-8 whatever the locale, so these convert with the charset the locale
// really names (nl_langinfo(CODESET)), asked afresh on every call. Under UTF-8, and under the
// C locale's plain ASCII, they are UTF-8 conversions, byte for byte. Bytes the charset cannot
// decode become U+FFFD; characters it cannot encode become '?'.
QString fromLocal(std::string_view text);
std::string toLocal(const QString& text);

} // namespace ui
