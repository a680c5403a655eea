#include "charinfo/ucs2view.h"

namespace kes {

std::string Ucs2ViewHtml(std::u16string_view query, bool showUcs2) {
    if (!showUcs2) return {};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out =
        "<p style=\"font-size:10pt; margin:2; border-bottom: #777777 1px solid;\">"
        "<font color=\"#777777\"><i>UCS-2: ";
    out.reserve(out.size() + query.size() * 5 + 16);
    for (char16_t c : query) {
        out += kHex[(c >> 12) & 0xF];
        out += kHex[(c >> 8) & 0xF];
        out += kHex[(c >> 4) & 0xF];
        out += kHex[c & 0xF];
        out += ' ';
    }
    out += "</i></font></p>";
    return out;
}

}  // namespace kes
