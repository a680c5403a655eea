// userdict.txt as anyone may leave it: it loads, every word is found again where the load
// put it, a query fills the fields, and adding a word keeps every record that was there.
#include <cstdint>
#include <string>

#include "base/bytefile.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "tools/userdict.h"

using namespace kes;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path = fuzz::ScratchFile("userdict.txt");
    fuzz::WriteFile(path, data, size);
    UserdictCallbacks cb;
    cb.askYesNo = [](const std::string&) { return true; };
    Userdict dict(path);
    dict.LoadUserdict(cb);
    if (!dict.Loaded) return 0;
    if (dict.Words.size() != dict.WordPos.size()) __builtin_trap();
    for (std::size_t i = 0; i < dict.Words.size() && i < 16; ++i) {
        const int found = dict.FindWord(dict.Words[i]);
        if (found < 0 || static_cast<std::size_t>(found) > i) __builtin_trap();
        EntryForm form;
        form.Word = dict.Words[i];
        dict.Query(form, cb);
    }
    const std::vector<std::u16string> words = dict.Words;
    const bool complete = !dict.LimitReached;
    EntryForm add;
    add.Word = u"\u65B0\u8BCD";  // 新词
    add.Pin = u"xin1 ci2";
    add.Memo = {u"new word"};
    if (dict.AddOrChange(add, cb) && complete) {
        Userdict reread(path);
        reread.LoadUserdict(cb);
        // Every earlier record is still there, in its order.
        std::size_t j = 0;
        for (const std::u16string& w : reread.Words)
            if (j < words.size() && w == words[j]) ++j;
        if (j != words.size() && !reread.LimitReached) __builtin_trap();
    }
    return 0;
}
