#include "app/entrylinks.h"

#include <charconv>

#include "app/speechtext.h"
#include "base/text.h"

namespace kes {

namespace {

// A small speaker drawn in the page itself (no font has one for sure): its body and two waves,
// or a cross where speech is missing.
constexpr std::string_view kSpeakerSvg =
    "<svg width=\"14\" height=\"14\" viewBox=\"0 0 16 16\" style=\"vertical-align:middle;\">"
    "<path d=\"M1 6h3l5-4v12l-5-4H1z\" fill=\"#104010\"/>"
    "<path d=\"M11 5.5c1.2 1.4 1.2 3.6 0 5M13 3.5c2.4 2.6 2.4 6.4 0 9\" stroke=\"#104010\" "
    "stroke-width=\"1.4\" fill=\"none\"/></svg>";
constexpr std::string_view kMutedSpeakerSvg =
    "<svg width=\"14\" height=\"14\" viewBox=\"0 0 16 16\" style=\"vertical-align:middle;\">"
    "<path d=\"M1 6h3l5-4v12l-5-4H1z\" fill=\"#aaaaaa\"/>"
    "<path d=\"M11 5l4 6M15 5l-4 6\" stroke=\"#aaaaaa\" stroke-width=\"1.4\"/></svg>";

std::string AddHref(std::size_t dict, int32_t offset) {
    return "kestrune:add?dict=" + std::to_string(dict) + "&amp;at=" + std::to_string(offset);
}

std::string AddLinkHtml(std::size_t dict, int32_t offset) {
    return "<a href=\"" + AddHref(dict, offset) +
           "\" title=\"Keep this word in userdict.txt\" style=\"text-decoration:none; "
           "font-size:10pt; color:#3050a0;\">Add to my words</a>";
}

// The value of `name` in the query part of a link ("a=1&b=2"), or nothing.
bool QueryValue(std::string_view query, std::string_view name, std::string_view& value) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
            pair[name.size()] == '=') {
            value = pair.substr(name.size() + 1);
            return true;
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return false;
}

template <typename T>
bool Number(std::string_view s, T& out) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

std::string EntryLinksHtml(const FoundEntry& found, const EntryLinks& links) {
    std::string out = "&nbsp;&nbsp;";
    const std::string speech = SpeechText(found.Model.Fields.Pinyin);
    if (!speech.empty()) {
        out += "<a href=\"kestrune:say?text=" + PercentEncoded(speech) + "\" title=\"";
        out += links.Speech ? "Hear it" : "Speech needs espeak-ng (Debian package espeak-ng)";
        out += "\" style=\"text-decoration:none;\">";
        out += links.Speech ? kSpeakerSvg : kMutedSpeakerSvg;
        out += "</a>&nbsp;&nbsp;";
    }
    if (links.IsMine && links.IsMine(found.Model.Fields)) {
        out += kInMyWordsHtml;
    } else {
        out += AddLinkHtml(found.Position, found.Offset);
    }
    return out;
}

EntryLink EntryLinkOf(std::string_view url) {
    EntryLink link;
    const std::string prefix = std::string(kLinkScheme) + ":";
    if (url.substr(0, prefix.size()) != prefix) return link;
    url.remove_prefix(prefix.size());
    const std::size_t question = url.find('?');
    if (question == std::string_view::npos) return link;
    const std::string_view action = url.substr(0, question);
    const std::string_view query = url.substr(question + 1);
    std::string_view value;
    if (action == "say" && QueryValue(query, "text", value)) {
        std::optional<std::string> text = PercentDecoded(value);
        if (text && !text->empty()) {
            link.Text = std::move(*text);
            link.What = EntryLink::Kind::Say;
        }
    } else if (action == "add") {
        std::string_view dict, at;
        if (QueryValue(query, "dict", dict) && QueryValue(query, "at", at) &&
            Number(dict, link.Dict) && Number(at, link.Offset) && link.Offset >= 0)
            link.What = EntryLink::Kind::Add;
    }
    return link;
}

std::string MarkKept(std::string_view page, std::size_t dict, int32_t offset) {
    const std::string anchor = AddLinkHtml(dict, offset);
    std::string out(page);
    const std::size_t at = out.find(anchor);
    if (at != std::string::npos) out.replace(at, anchor.size(), kInMyWordsHtml);
    return out;
}

std::string FirstAddLink(std::string_view page) {
    const std::string_view start = "<a href=\"kestrune:add?";
    const std::size_t at = page.find(start);
    if (at == std::string_view::npos) return {};
    const std::size_t from = at + 9;  // after <a href="
    const std::size_t end = page.find('"', from);
    if (end == std::string_view::npos) return {};
    std::string href(page.substr(from, end - from));
    // The page writes "&" as "&amp;"; the link itself has "&".
    for (std::size_t p; (p = href.find("&amp;")) != std::string::npos;)
        href.replace(p, 5, "&");
    return href;
}

}  // namespace kes
