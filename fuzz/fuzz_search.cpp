// The whole search with a fuzzed query (UTF-8 as typed or read from standard input), over a
// small real dictionary with translation words and pinyin: every option combination the
// first input byte chooses, a page (or plain text, or JSON) or an error, never a crash; the
// page written out as it is made equals the page kept.
#include <cstdint>
#include <string>

#include "app/jsonwriter.h"
#include "app/queryflow.h"
#include "app/registry.h"
#include "app/textwriter.h"
#include "base/text.h"
#include "fuzz_support.h"

using namespace kes;

namespace {

Registry* reg = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::MakeDictionary(fuzz::Scratch(), "cedict");
    reg = new Registry;
    DiscoverOptions o;
    o.writeDicts = false;
    DiscoverDictionaries(*reg, fuzz::Scratch(), RegistryCallbacks{}, o);
    if (reg->Dicts.size() != 1) __builtin_trap();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    SearchOptions o;
    o.TranslateAll = data[0] & 1;
    o.SearchBoth = data[0] & 2;
    o.ShowUcs2 = data[0] & 4;
    const int dictNumber = (data[0] & 16) ? 1 : 0;
    const std::string query(reinterpret_cast<const char*>(data + 1), size - 1);
    QueryHistory history;
    if (data[0] & 8) {
        // The other two writers over the same search.
        TextWriter text;
        JsonWriter json;
        SearchWriter& writer = (data[0] & 64) ? static_cast<SearchWriter&>(json) : text;
        if (!RunSearch(*reg, history, Utf8ToUtf16(query), dictNumber, true, o, writer).ok())
            __builtin_trap();
        return 0;
    }
    SearchResult r = RunSearch(*reg, history, Utf8ToUtf16(query), dictNumber, true, o);
    if (!r.ok()) __builtin_trap();  // the dictionary is sound: no search may fail
    if (data[0] & 32) {
        // Written out as it is made, the page is the same, byte for byte.
        std::string written;
        o.PageOut = [&written](std::string_view bytes) { written += bytes; };
        SearchResult streamed = RunSearch(*reg, history, Utf8ToUtf16(query), dictNumber, true, o);
        if (!streamed.ok() || !streamed.Page.empty() || written != r.Page) __builtin_trap();
    }
    return 0;
}
