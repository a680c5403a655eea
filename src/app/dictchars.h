// Which characters the enabled dictionaries hold as entries of their own: the handwriting
// pad and `kestrune write` put the candidates that no dictionary knows last.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "app/registry.h"

namespace kes {

class DictionaryChars {
  public:
    // Reads the registry's enabled dictionaries ("Search both chinese forms" as given), each
    // opened at the first question and kept open for the object's life. The registry must
    // outlive the object.
    DictionaryChars(const Registry& reg, bool searchBoth);
    ~DictionaryChars();
    DictionaryChars(const DictionaryChars&) = delete;
    DictionaryChars& operator=(const DictionaryChars&) = delete;

    // True when some enabled dictionary has an entry filed under exactly `ch`. Characters
    // outside the Basic Multilingual Plane are never found (the indexes hold UCS-2). A
    // dictionary whose index cannot be read counts as not holding it. Answers are kept.
    bool Has(char32_t ch);

  private:
    const Registry& reg_;
    bool both_;
    bool opened_ = false;
    std::vector<std::unique_ptr<DicReader>> readers_;
    std::unordered_map<char32_t, bool> known_;
};

}  // namespace kes
