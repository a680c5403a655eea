// "say" and "words" as a user runs them: the audio of real espeak-ng read from its WAV file,
// the text a stand-in espeak-ng on PATH is given, what a user without espeak-ng or with a word
// that is no pinyin is told; the word list exported and listed, with its damaged lines named.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "base/filesystem.h"
#include "base/replacefile.h"
#include "support/program.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::MakeDict;
using test::ReadBytes;
using test::TempDir;
using test::Ucs2File;
using test::WriteBytes;

// A PCM WAV file as espeak-ng writes it, taken apart; `ok` only when the sizes of the RIFF
// header and of every chunk agree with the file's length (what players and Anki rely on).
struct Wav {
    bool ok = false;
    int channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
};

uint32_t U32(const std::string& b, std::size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

Wav ReadWav(const std::string& b) {
    Wav w;
    if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0 ||
        U32(b, 4) + 8 != b.size())
        return w;
    bool data = false;
    for (std::size_t at = 12; at + 8 <= b.size();) {
        const std::string id = b.substr(at, 4);
        const std::size_t size = U32(b, at + 4);
        const std::size_t body = at + 8;
        if (body + size > b.size()) return w;
        if (id == "fmt ") {
            w.channels = static_cast<unsigned char>(b[body + 2]);
            w.rate = static_cast<int>(U32(b, body + 4));
            w.bits = static_cast<unsigned char>(b[body + 14]);
        } else if (id == "data") {
            for (std::size_t i = body; i + 1 < body + size; i += 2)
                w.samples.push_back(static_cast<int16_t>(
                    static_cast<unsigned char>(b[i]) | (static_cast<unsigned char>(b[i + 1]) << 8)));
            data = true;
        }
        at = body + size + (size % 2);
    }
    w.ok = data && w.channels > 0;
    return w;
}

int Peak(const Wav& w) {
    int peak = 0;
    for (int16_t s : w.samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

class SayCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        MakeDict(home, "main", "Main",
                 {"銀行 银行 [yin2 hang2] /bank/", "女兒 女儿 [nu:3 er2] /daughter/",
                  "一點兒 一点儿 [yi1 dian3 r5] /a little/", "媽媽 妈妈 [ma1 ma5] /mum/",
                  "乄 [xx5] /a mark of repetition/"});
    }
    test::ProgramRun Say(std::vector<std::string> args, const char* path = nullptr) {
        args.insert(args.begin(), "say");
        test::EnvChanges env{{"KESTRUNE_HOME", home.path().c_str()}};
        if (path) env["PATH"] = path;
        return test::RunProgram(KESTRUNE_BINARY, args, {.env = env});
    }
    // A stand-in espeak-ng in `bin` that writes its arguments, one per line, to `log` (the
    // file after -w as "FILE", after checking that it is a temporary file beside the WAV file
    // asked for) and a short WAV file into that file.
    std::string FakeEspeak() {
        const std::string script =
            "#!/bin/sh\nout=\nwhile [ $# -gt 0 ]; do a=$1; shift\n"
            "  if [ \"$a\" = -w ]; then out=$1; shift\n"
            "    case $out in " + test::ShellQuote(out.path()) + "/*.wav.????????????.tmp) a='-w\nFILE';;"
            " *) a=\"-w\nUNEXPECTED $out\";; esac; fi\n"
            "  printf '%s\\n' \"$a\" >> " + test::ShellQuote(log) + "\ndone\necho --- >> " +
            test::ShellQuote(log) +
            "\n[ -n \"$out\" ] && printf 'RIFF\\044\\0\\0\\0WAVEfmt \\020\\0\\0\\0\\001\\0\\001\\0"
            "\\042\\126\\0\\0\\104\\254\\0\\0\\002\\0\\020\\0data\\0\\0\\0\\0' > \"$out\"\nexit 0\n";
        WriteBytes(bin.file("espeak-ng"), script);
        ::chmod(bin.file("espeak-ng").c_str(), 0755);
        return bin.path() + ":/usr/bin:/bin";
    }
    TempDir home, bin, out;
    std::string log = out.file("args");
};

TEST_F(SayCommand, WritesAudioThatGrowsWithTheSyllables) {
    std::size_t last = 0;
    for (const char* text : {"ni3", "ni3 hao3", "zhong1 hua2 ren2 min2 gong4 he2 guo2"}) {
        const std::string wav = out.file("say.wav");
        const test::ProgramRun r = Say({"--wav", wav, text});
        ASSERT_EQ(r.code, 0) << text << ": " << r.err;
        const Wav w = ReadWav(ReadBytes(wav));
        ASSERT_TRUE(w.ok) << text;
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.bits, 16);
        EXPECT_EQ(w.rate, 22050);
        EXPECT_GT(Peak(w), 2000) << text << ": silent";
        EXPECT_GT(w.samples.size(), last + w.rate / 10) << text << ": not longer";
        last = w.samples.size();
    }
}

TEST_F(SayCommand, HandsTheVoiceItsOwnPinyin) {
    const std::string path = FakeEspeak();
    const struct {
        const char* text;
        const char* spoken;
    } rows[] = {
        {"lu:4 se4", "lv4 se4"},      {"银行", "yin2 hang2"},  // a polyphone, by its entry
        {"女儿", "nv3 er2"},           {"一點兒", "yi1 dian3 er5"},
        {"妈妈", "ma1 ma5"},           {"wan2 r5", "wan2 er5"},
        {"nǐ hǎo", "nǐ hǎo"},
    };
    for (const auto& r : rows) {
        std::filesystem::remove(log);
        const test::ProgramRun run = Say({"--wav", out.file("x.wav"), r.text}, path.c_str());
        EXPECT_EQ(run.code, 0) << r.text << ": " << run.err;
        EXPECT_EQ(ReadBytes(log), std::string("-v\ncmn-latn-pinyin\n-w\nFILE\n--\n") + r.spoken +
                                      "\n---\n")
            << r.text;
    }
}

TEST_F(SayCommand, TellsWhatIsWrong) {
    const std::string path = FakeEspeak();
    test::ProgramRun r = Say({"blorfx"}, path.c_str());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kestrune say: \"blorfx\" is neither pinyin with tones (zhong1 guo2, zhōng "
                     "guó) nor a headword of the dictionaries in " +
                         home.path() + "\n");
    EXPECT_FALSE(std::filesystem::exists(log));

    r = Say({"乄"}, path.c_str());  // its only reading is CEDICT's unknown one
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kestrune say: nothing to speak in the pinyin \"xx5\"\n");

    // Without espeak-ng: one explanation, which package brings it.
    TempDir empty;
    r = Say({"--wav", out.file("none.wav"), "ni3"}, empty.path().c_str());
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "kestrune say: Speech needs the program espeak-ng, which is not installed. "
                     "Install the Debian package espeak-ng (sudo apt install espeak-ng) to hear "
                     "words.\n");
    EXPECT_FALSE(std::filesystem::exists(out.file("none.wav")));

    // A folder as the WAV file, and a WAV file that exists: the folder is refused, the old
    // file replaced whole.
    r = Say({"--wav", out.path(), "ni3"}, path.c_str());
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "kestrune say: " + out.path() + ": is a folder, not a file name\n");
    WriteBytes(out.file("old.wav"), "old bytes");
    r = Say({"--wav", out.file("old.wav"), "ni3"}, path.c_str());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadBytes(out.file("old.wav")).substr(0, 4), "RIFF");
}

TEST_F(SayCommand, AFailingVoiceLeavesNoFile) {
    WriteBytes(bin.file("espeak-ng"), "#!/bin/sh\necho 'no voice' >&2\nexit 3\n");
    ::chmod(bin.file("espeak-ng").c_str(), 0755);
    const std::string path = bin.path() + ":/bin";
    const test::ProgramRun r = Say({"--wav", out.file("x.wav"), "ni3"}, path.c_str());
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "no voice\nkestrune say: ERROR: The speech program espeak-ng failed!\n" +
                         bin.file("espeak-ng") + ": ended with exit code 3\n");
    EXPECT_FALSE(std::filesystem::exists(out.file("x.wav")));
    EXPECT_EQ(TemporariesOf(out.file("x.wav")), std::vector<std::string>{});

    // A voice that ends well but writes no WAV file (or a cut one): the old file stays.
    WriteBytes(out.file("x.wav"), "old bytes");
    for (const char* written : {"", "RIFF", "RIFF\\377\\0\\0\\0WAVEfmt \\020\\0\\0\\0\\001\\0\\001\\0"
                                            "\\042\\126\\0\\0\\104\\254\\0\\0\\002\\0\\020\\0data\\0\\0\\0\\0"}) {
        WriteBytes(bin.file("espeak-ng"),
                   std::string("#!/bin/sh\nwhile [ \"$1\" != -w ]; do shift; done\nprintf '") +
                       written + "' > \"$2\"\n");
        const test::ProgramRun cut = Say({"--wav", out.file("x.wav"), "ni3"}, path.c_str());
        EXPECT_EQ(cut.code, 2) << written;
        EXPECT_EQ(cut.err.rfind("kestrune say: " + bin.file("espeak-ng") + " gave no WAV audio (", 0),
                  0u)
            << cut.err;
        EXPECT_EQ(ReadBytes(out.file("x.wav")), "old bytes") << written;
        EXPECT_EQ(TemporariesOf(out.file("x.wav")), std::vector<std::string>{});
    }
}

TEST(WordsCommand, ExportsAndListsWithTheDamagedLinesNamed) {
    TempDir home, out;
    const std::string dict = Ucs2File({"中國 中国 [Zhong1 guo2] /China/", "broken"});
    WriteBytes(home.file("userdict.txt"), dict);
    const test::EnvChanges env{{"KESTRUNE_HOME", home.path().c_str()}};
    test::ProgramRun r = test::RunProgram(
        KESTRUNE_BINARY, {"words", "export", out.file("cards.csv"), "--format", "csv"}, {.env = env});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Exported 2 words to " + out.file("cards.csv") + "\n");
    const std::string userdict = home.file("userdict.txt");
    EXPECT_EQ(r.err, userdict + ": line 2: no pinyin in [ ]: exported as it stands\n" + userdict +
                         ": 1 damaged line\n");
    EXPECT_EQ(ReadBytes(out.file("cards.csv")),
              "Simplified,Traditional,Pinyin,Pinyin (stored),Meaning\r\n"
              "中国,中國,Zhōng guó,Zhong1 guo2,China\r\n"
              "broken,broken,,,broken\r\n");
    EXPECT_EQ(ReadBytes(home.file("userdict.txt")), dict);

    r = test::RunProgram(KESTRUNE_BINARY, {"words", "list"}, {.env = env});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "中國 中国 [Zhong1 guo2] /China/\nbroken\n");

    r = test::RunProgram(KESTRUNE_BINARY, {"words", "export", out.path()}, {.env = env});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("ERROR: Can't write the flashcards!\n" + out.path() +
                         ": is a folder, not a file name\n"),
              std::string::npos)
        << r.err;

    r = test::RunProgram(KESTRUNE_BINARY, {"words", "export", "x.txt", "--format", "xls"},
                         {.env = env});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("kestrune words: unknown format xls (anki or csv)\n", 0), 0u) << r.err;

    TempDir none;
    r = test::RunProgram(KESTRUNE_BINARY, {"words", "list", "--json"},
                         {.env = {{"KESTRUNE_HOME", none.path().c_str()}}});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "kestrune words: there is no word list yet: " + none.file("userdict.txt") +
                         " does not exist (\"Add to my words\" on the page creates it)\n");
}

}  // namespace
}  // namespace kes
