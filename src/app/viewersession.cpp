#include "app/viewersession.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <nlohmann/json.hpp>

namespace kes {

namespace {

using Json = nlohmann::json;

constexpr std::string_view kMagic = "KESTRUNE-SESSION 1\n";

// UTF-16 text as its code units: exact for any text, lone surrogates included.
Json Units(const std::u16string& text) {
    Json a = Json::array();
    for (char16_t c : text)
        a.push_back(static_cast<unsigned>(c));
    return a;
}

std::u16string Text(const Json& units) {
    if (!units.is_array()) throw std::runtime_error("text is not a list of code units");
    std::u16string text;
    text.reserve(units.size());
    for (const Json& u : units) {
        if (!u.is_number_unsigned() || u.get<unsigned>() > 0xFFFF)
            throw std::runtime_error("a code unit is out of range");
        text.push_back(static_cast<char16_t>(u.get<unsigned>()));
    }
    return text;
}

int Int(const Json& j, const char* key) {
    const Json& v = j.at(key);
    if (!v.is_number_integer()) throw std::runtime_error(std::string(key) + " is not a number");
    return v.get<int>();
}

double Real(const Json& j, const char* key) {
    const Json& v = j.at(key);
    if (!v.is_number()) throw std::runtime_error(std::string(key) + " is not a number");
    const double d = v.get<double>();
    if (!std::isfinite(d)) throw std::runtime_error(std::string(key) + " is not finite");
    return d;
}

}  // namespace

std::string EncodeViewerSession(const ViewerSession& s) {
    Json j;
    j["input"] = Units(s.Input);
    Json slots = Json::array();
    for (const std::u16string& h : s.History.Slots)
        slots.push_back(Units(h));
    j["history"] = {{"slots", slots}, {"position", s.History.P}};
    Json tree = Json::array();
    for (const ViewerSession::DictItem& d : s.Tree) {
        Json words = Json::array();
        for (const std::u16string& w : d.Words)
            words.push_back(Units(w));
        tree.push_back({{"number", d.Number}, {"expanded", d.Expanded}, {"words", words}});
    }
    j["tree"] = tree;
    j["current"] = {{"dictionary", s.CurrentDict}, {"word", s.CurrentWord}};
    j["scroll"] = {{"x", s.ScrollX}, {"y", s.ScrollY}};
    j["body"] = s.PageBody.size();
    const std::string description = j.dump();
    std::string out(kMagic);
    out += std::to_string(description.size());
    out += '\n';
    out += description;
    out += s.PageBody;
    return out;
}

std::optional<ViewerSession> DecodeViewerSession(std::string_view bytes, std::string& error) {
    if (bytes.substr(0, kMagic.size()) != kMagic) {
        error = "not a saved viewer session";
        return std::nullopt;
    }
    bytes.remove_prefix(kMagic.size());
    const std::size_t eol = bytes.find('\n');
    std::size_t length = 0;
    const auto [end, ec] = eol == std::string_view::npos
                               ? std::from_chars_result{bytes.data(), std::errc::invalid_argument}
                               : std::from_chars(bytes.data(), bytes.data() + eol, length);
    if (eol == 0 || ec != std::errc() || end != bytes.data() + eol ||
        length > bytes.size() - eol - 1) {
        error = "the session's description is cut short";
        return std::nullopt;
    }
    bytes.remove_prefix(eol + 1);
    try {
        const Json j = Json::parse(bytes.substr(0, length));
        const std::string_view body = bytes.substr(length);
        if (!j.at("body").is_number_unsigned() || j.at("body").get<std::size_t>() != body.size())
            throw std::runtime_error("the page body is not of its recorded size");
        ViewerSession s;
        s.Input = Text(j.at("input"));
        const Json& history = j.at("history");
        const Json& slots = history.at("slots");
        if (!slots.is_array() || slots.size() != QueryHistory::kSlots)
            throw std::runtime_error("the history does not have its slots");
        for (std::size_t i = 0; i < slots.size(); ++i)
            s.History.Slots[i] = Text(slots[i]);
        s.History.P = Int(history, "position");
        if (s.History.P < 0 || s.History.P > QueryHistory::kSlots)
            throw std::runtime_error("the history position is out of range");
        const Json& tree = j.at("tree");
        if (!tree.is_array()) throw std::runtime_error("the tree is not a list");
        for (const Json& d : tree) {
            ViewerSession::DictItem item;
            item.Number = Int(d, "number");
            if (!d.at("expanded").is_boolean()) throw std::runtime_error("expanded is not a flag");
            item.Expanded = d.at("expanded").get<bool>();
            const Json& words = d.at("words");
            if (!words.is_array()) throw std::runtime_error("words is not a list");
            for (const Json& w : words)
                item.Words.push_back(Text(w));
            s.Tree.push_back(std::move(item));
        }
        s.CurrentDict = Int(j.at("current"), "dictionary");
        s.CurrentWord = Int(j.at("current"), "word");
        s.ScrollX = Real(j.at("scroll"), "x");
        s.ScrollY = Real(j.at("scroll"), "y");
        s.PageBody = std::string(body);
        return s;
    } catch (const std::exception& e) {
        error = std::string("the session is damaged: ") + e.what();
        return std::nullopt;
    }
}

}  // namespace kes
