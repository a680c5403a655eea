// The search as one JSON document (UTF-8): the query, the keys searched, per dictionary with
// entries its name, file and pieces with their entries (forms, pinyin, senses with notes), and
// the UCS-2 codes, Unihan lines and notice as the options ask (docs/json.md has the format).
// The document is written whole at the end of the search.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "app/pagebuffer.h"
#include "app/searchwriter.h"

namespace kes {

class JsonWriter : public SearchWriter {
  public:
    // Without a sink the document is kept for Take().
    explicit JsonWriter(PageSink sink = {});
    ~JsonWriter() override;

    void BeginReading(std::u16string_view) override {}
    void BeginDict(const TDic& dic, std::size_t position) override;
    void BeginPiece(std::u16string_view text) override;
    void WriteEntry(const FoundEntry& found) override;
    void EndDict() override {}
    void Finish(const SearchEnd& end) override;

    std::string Take() &&;

  private:
    struct Doc;
    std::unique_ptr<Doc> doc_;
    PageSink sink_;
    std::string text_;
};

}  // namespace kes
