#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/bytefile.h"
#include "base/text.h"
#include "dict/builder.h"

namespace kes::fuzz {

namespace {

struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char pattern[] = "/tmp/kestrune-fuzz-XXXXXX";
        if (!::mkdtemp(pattern)) std::abort();
        path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

const std::string& Scratch() {
    static ScratchFolder folder;
    return folder.path;
}

std::string ScratchFile(const std::string& name) {
    return Scratch() + "/" + name;
}

void WriteFile(const std::string& path, const uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
}

void WriteFile(const std::string& path, std::string_view bytes) {
    WriteFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void WriteUcs2Lines(const std::string& path, const std::vector<std::string>& utf8Lines) {
    std::string bytes;
    for (const std::string& line : utf8Lines) {
        for (char16_t c : Utf8ToUtf16(line) + u"\r\n") {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
    }
    WriteFile(path, bytes);
}

void MakeDictionary(const std::string& folder, const std::string& name) {
    const std::string data = folder + "/" + name + ".ced";
    WriteUcs2Lines(data, {
                             "# a small dictionary",
                             "中國 中国 [zhong1 guo2] /China/Middle Kingdom/",
                             "中 [zhong1] /middle/center/|note/",
                             "國 国 [guo2] /country/nation/",
                             "學習 学习 [xue2 xi2] /to learn/to study/",
                             "學生 学生 [xue2 sheng5] /student/[bs]pupil[be]/",
                             "我 [wo3] /I/me/",
                             "是 [shi4] /is/are/",
                             "一下兒 一下儿 [yi1 xia4 r5] /a bit/",
                             "女 [nu:3] /woman/",
                             "並 并 [bing4] /and/",
                             "併 并 [bing4] /combine/",
                             "learn [L] /Latin &#x41; <tag> \"q\" \\ /",
                         });
    std::remove((folder + "/" + name + ".idx").c_str());
    IndexBuildOptions o;
    o.AddDescToIndex = true;
    o.AddPinToIndex = true;
    IndexBuildCallbacks cb;
    cb.askName = [](const std::u16string&) { return std::u16string(u"Fuzz"); };
    IndexBuildResult r = BuildIndex(data, o, cb);
    if (r.status != IndexBuildStatus::Created) std::abort();
}

}  // namespace kes::fuzz
