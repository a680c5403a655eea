// The index walk over a damaged or hostile index file: lookups, the word list and the cut
// of a text, against a small real data file. Every question either answers or throws
// IoError; entry offsets it gives are checked against the data file before use.
#include <cstdint>
#include <string>
#include <vector>

#include "app/queryflow.h"
#include "base/bytefile.h"
#include "dict/dic.h"
#include "fuzz_support.h"

using namespace kes;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::MakeDictionary(fuzz::Scratch(), "real");
    // The fuzzed index belongs to a copy of the real data file.
    ByteFile in(fuzz::ScratchFile("real.ced"), OpenMode::Read);
    std::string bytes(static_cast<std::size_t>(in.size()), '\0');
    in.read(bytes.data(), bytes.size());
    fuzz::WriteFile(fuzz::ScratchFile("d.ced"), bytes);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::WriteFile(fuzz::ScratchFile("d.idx"), data, size);
    TDic dic;
    dic.FileName = "d.idx";
    static const std::u16string queries[] = {u"",   u"中",     u"中国",
                                             u"國", u"学生们", u"zhong guo",
                                             u"l",  u"learn",  std::u16string(u"\0中", 2)};
    for (bool both : {true, false}) {
        try {
            DicReader reader(dic, fuzz::Scratch(), both);
            std::vector<int32_t> found;
            for (const std::u16string& q : queries) {
                reader.Exact(q, found);
                for (int32_t off : found)
                    reader.ReadEntryLine(off);
                reader.Longest(q, found);
                std::size_t words = 0;
                reader.ListWords(q, [&](const std::u16string&) { ++words; });
            }
            reader.close();
        } catch (const IoError&) {
        }
        try {
            SegmentText(dic, u"我是学生中国人學習並併", fuzz::Scratch(), both);
        } catch (const IoError&) {
        }
    }
    return 0;
}
