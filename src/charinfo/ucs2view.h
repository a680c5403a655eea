// The UCS-2 line of the result page: the query's UTF-16 code units in hexadecimal.
#pragma once

#include <string>
#include <string_view>

namespace kes {

// Empty when showUcs2 (the "Show UCS-2" option) is off; otherwise one paragraph listing
// every code unit of the query as four uppercase hexadecimal digits and a space.
std::string Ucs2ViewHtml(std::u16string_view query, bool showUcs2);

}  // namespace kes
