#include "app/jsonwriter.h"

#include <nlohmann/json.hpp>

#include "app/resultpage.h"
#include "app/textwriter.h"
#include "base/text.h"
#include "charinfo/pinyinmarks.h"

namespace kes {

using Json = nlohmann::ordered_json;

// The dictionaries met, by registry position (the document lists them in registry order, each
// with its pieces of every reading), and the one entries go to now.
struct JsonWriter::Doc {
    std::map<std::size_t, Json> dicts;
    Json* pieces = nullptr;
};

namespace {

Json EntryJson(const Entry& e) {
    Json senses = Json::array();
    for (const EntrySense& s : SensesOf(e)) {
        std::string text;
        for (const std::u16string& l : s.Lines)
            text += (text.empty() ? "" : "\n") + Utf16ToUtf8(l);
        Json notes = Json::array();
        for (const std::u16string& n : s.Notes)
            notes.push_back(Utf16ToUtf8(n));
        senses.push_back({{"text", text}, {"notes", std::move(notes)}});
    }
    Json forms = Json::array();
    for (const std::u16string& f : e.Forms)
        forms.push_back(Utf16ToUtf8(f));
    return {{"traditional", Utf16ToUtf8(e.Forms[0])},
            {"simplified", Utf16ToUtf8(e.Simplified)},
            {"forms", std::move(forms)},
            {"pinyin", Utf16ToUtf8(e.Fields.Pinyin)},
            {"pinyin_marks", Utf16ToUtf8(PinyinText(e.Fields.Pinyin, PinyinStyle::Marks))},
            {"zhuyin", Utf16ToUtf8(PinyinText(e.Fields.Pinyin, PinyinStyle::Zhuyin))},
            {"senses", std::move(senses)}};
}

}  // namespace

JsonWriter::JsonWriter(PageSink sink) : doc_(std::make_unique<Doc>()), sink_(std::move(sink)) {}
JsonWriter::~JsonWriter() = default;

void JsonWriter::BeginDict(const TDic& dic, std::size_t position) {
    auto [it, added] = doc_->dicts.try_emplace(position);
    if (added) {
        it->second = {{"name", Utf16ToUtf8(dic.Description)},
                      {"file", dic.FileName},
                      {"pieces", Json::array()}};
    }
    doc_->pieces = &it->second["pieces"];
}

void JsonWriter::BeginPiece(std::u16string_view text) {
    doc_->pieces->push_back({{"text", Utf16ToUtf8(text)}, {"entries", Json::array()}});
}

void JsonWriter::WriteEntry(const FoundEntry& found) {
    doc_->pieces->back()["entries"].push_back(EntryJson(found.Model));
}

void JsonWriter::Finish(const SearchEnd& end) {
    Json doc = Json::object();
    doc["query"] = Utf16ToUtf8(end.Query);
    Json searched = Json::array();
    if (end.Searched.empty()) searched.push_back(Utf16ToUtf8(end.Query));
    for (const std::u16string& key : end.Searched)
        searched.push_back(Utf16ToUtf8(key));
    doc["searched"] = std::move(searched);
    Json dicts = Json::array();
    for (auto& [position, d] : doc_->dicts)
        dicts.push_back(std::move(d));
    doc["dictionaries"] = std::move(dicts);
    if (end.ShowUcs2) doc["ucs2"] = Ucs2Codes(end.Query);
    const std::vector<UnihanLine> unihan = UnihanLinesOf(end.Query, end.Unihan, end.ShowUnihan);
    if (!unihan.empty()) {
        Json lines = Json::array();
        for (const UnihanLine& l : unihan)
            lines.push_back({{"tag", l.Tag}, {"value", l.Value}});
        doc["unihan"] = {{"character", Utf16ToUtf8(end.Query.substr(0, 1))},
                         {"lines", std::move(lines)}};
    }
    if (end.Blocked) doc["notice"] = PlainTextOfHtml(kNoticeHtml);
    // Text that is not UTF-8 (a file name, for one) is written with U+FFFD in its place.
    text_ = doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    if (sink_) sink_(text_);
}

std::string JsonWriter::Take() && {
    return std::move(text_);
}

}  // namespace kes
