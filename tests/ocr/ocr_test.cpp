// The recognizer: its text rules, the image reading with every bad input refused by its
// reason, the preparation, and rendered images read back exactly through the module that
// "kestrune ocr" loads.
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <leptonica/allheaders.h>

#include <set>

#include "base/bytefile.h"
#include "base/paths.h"
#include "base/text.h"
#include "charinfo/s2t.h"
#include "cli/cli_ocr.h"
#include "ocr/ocrengine.h"
#include "ocr/ocrimage.h"
#include "support/tempdir.h"

namespace kes {
namespace {

using test::ReadBytes;
using test::TempDir;

std::string TestImage(const std::string& name) {
    const std::string bytes = ReadBytes(std::string(KESTRUNE_SOURCE_DIR) + "/tests/ocr/images/" + name);
    if (bytes.empty()) throw std::runtime_error("missing test image " + name);
    return bytes;
}

std::string Be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string Chunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return Be32(static_cast<std::uint32_t>(data.size())) + body + Be32(crc);
}

// A grey PNG of w x h pixels, all black, its rows deflated as they are made: a few hundred
// kilobytes that decode to w * h bytes.
std::string BlackPng(std::uint32_t w, std::uint32_t h) {
    z_stream z{};
    deflateInit(&z, 9);
    std::string row(w + 1, '\0'), idat;
    std::vector<unsigned char> buf(1 << 16);
    for (std::uint32_t y = 0; y <= h; ++y) {
        const bool last = y == h;
        z.next_in = reinterpret_cast<Bytef*>(row.data());
        z.avail_in = last ? 0 : static_cast<uInt>(row.size());
        do {
            z.next_out = buf.data();
            z.avail_out = static_cast<uInt>(buf.size());
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            idat.append(reinterpret_cast<char*>(buf.data()), buf.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    const std::string ihdr = Be32(w) + Be32(h) + std::string("\x08\x00\x00\x00\x00", 5);
    return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", ihdr) + Chunk("IDAT", idat) + Chunk("IEND", "");
}

TEST(OcrText, MadeFitForALookup) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"中 华 人民\n共和国\n", "中华人民共和国"},
        {"  Hello   world \n", "Hello world"},
        {"U 盘 第 3 章", "U盘第3章"},
        {"电脑 ， 好 。", "电脑，好。"},
        {"abc\xff", "abc\xEF\xBF\xBD"},
        {"\xF0\xA0\x80\x80 \xE5\xAD\x97", "\xF0\xA0\x80\x80\xE5\xAD\x97"},  // U+20000, 字
        {" \n\f", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CleanOcrText(c.in), c.out) << c.in;
    EXPECT_TRUE(HasHanCharacter("U盘"));
    EXPECT_TRUE(HasHanCharacter("\xF0\xA0\x80\x80"));
    EXPECT_FALSE(HasHanCharacter("Hello, 。！"));
}

TEST(OcrText, LayoutAndScaleFromTheRegion) {
    EXPECT_EQ(ChooseOcrLayout(300, 30, 1), OcrLayout::Line);
    EXPECT_EQ(ChooseOcrLayout(300, 90, 3), OcrLayout::Block);
    EXPECT_EQ(ChooseOcrLayout(40, 80, 1), OcrLayout::Vertical);
    EXPECT_EQ(ChooseOcrLayout(40, 79, 1), OcrLayout::Line);
    const struct {
        int height;
        double scale;
    } scales[] = {{5, 4.0}, {10, 4.0}, {16, 2.5}, {40, 1.0}, {60, 1.0}, {80, 1.0}, {100, 0.8}};
    for (const auto& s : scales)
        EXPECT_DOUBLE_EQ(OcrScaleFor(s.height), s.scale) << s.height;
    EXPECT_EQ(OcrModelFolder(nullptr), "/usr/share/tesseract-ocr/5/tessdata");
    EXPECT_EQ(OcrModelFolder(""), "/usr/share/tesseract-ocr/5/tessdata");
    EXPECT_EQ(OcrModelFolder("/opt/models"), "/opt/models");
}

TEST(OcrImage, BadImagesAreRefusedWithTheirReason) {
    const std::string png = TestImage("normal.png");
    const std::string jpeg = TestImage("word.jpg");
    std::string corrupt = png;
    for (std::size_t i = 100; i < 140; ++i)
        corrupt[i] = '\0';
    const std::string ihdr30000 = Be32(30000) + Be32(30000) + std::string("\x08\x00\x00\x00\x00", 5);
    const std::string header30000 =
        "\x89PNG\r\n\x1a\n" + Chunk("IHDR", ihdr30000) + Chunk("IDAT", "x") + Chunk("IEND", "");
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "the file is empty"},
        {"text", "你好, this is text\n", "not a PNG or JPEG image"},
        {"GIF", "GIF89a\x01\x00\x01\x00", "not a PNG or JPEG image"},
        {"PNG signature only", png.substr(0, 8), "the image is corrupt or truncated"},
        {"PNG header only", png.substr(0, 33), "the image is corrupt or truncated"},
        {"PNG cut in half", png.substr(0, png.size() / 2), "the image is corrupt or truncated"},
        {"PNG with damaged data", corrupt, "the image is corrupt or truncated"},
        {"JPEG cut in half", jpeg.substr(0, jpeg.size() / 2), "the image is corrupt or truncated"},
        {"JPEG start only", jpeg.substr(0, 3), "the image is corrupt or truncated"},
        {"30000 x 30000", header30000,
         "the image is too large: 30000 x 30000 pixels (at most 40 million pixels and 20000 "
         "pixels a side)"},
        {"too wide", BlackPng(25000, 10),
         "the image is too large: 25000 x 10 pixels (at most 40 million pixels and 20000 "
         "pixels a side)"},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_EQ(DecodeOcrImage(c.bytes, reason), nullptr) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
    }
}

TEST(OcrImage, DecompressionBombIsRefusedFromItsHeader) {
    // 8000 x 8000 pixels (64 MB when decoded) in less than a megabyte.
    const std::string bomb = BlackPng(8000, 8000);
    ASSERT_LT(bomb.size(), 1u << 20);
    std::string reason;
    EXPECT_EQ(DecodeOcrImage(bomb, reason), nullptr);
    EXPECT_EQ(reason,
              "the image is too large: 8000 x 8000 pixels (at most 40 million pixels and 20000 "
              "pixels a side)");
    // Within the limit the same kind of image decodes, and being black holds nothing to read.
    PixPtr small = DecodeOcrImage(BlackPng(300, 200), reason);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(pixGetWidth(small.get()), 300);
    EXPECT_EQ(PrepareOcrImage(small.get()).pix, nullptr);
}

TEST(OcrImage, PreparedForTheRecognizer) {
    const struct {
        const char* file;
        OcrLayout layout;
        int lines;
        bool inverted;
        int minHeight, maxHeight;  // the characters' height as measured
    } cases[] = {
        {"small.png", OcrLayout::Line, 1, false, 10, 13},
        {"normal.png", OcrLayout::Line, 1, false, 19, 23},
        {"inverted.png", OcrLayout::Line, 1, true, 14, 17},
        {"block.png", OcrLayout::Block, 2, false, 17, 21},
        {"vertical.png", OcrLayout::Vertical, 1, false, 20, 25},
        {"transparent.png", OcrLayout::Line, 1, false, 20, 25},
    };
    for (const auto& c : cases) {
        std::string reason;
        PixPtr decoded = DecodeOcrImage(TestImage(c.file), reason);
        ASSERT_NE(decoded, nullptr) << c.file << ": " << reason;
        const int w = pixGetWidth(decoded.get()), h = pixGetHeight(decoded.get());
        PreparedImage p = PrepareOcrImage(decoded.get());
        ASSERT_NE(p.pix, nullptr) << c.file;
        EXPECT_EQ(p.layout, c.layout) << c.file;
        EXPECT_EQ(p.lines, c.lines) << c.file;
        EXPECT_EQ(p.inverted, c.inverted) << c.file;
        EXPECT_GE(p.charHeight, c.minHeight) << c.file;
        EXPECT_LE(p.charHeight, c.maxHeight) << c.file;
        EXPECT_EQ(pixGetDepth(p.pix.get()), 8) << c.file;
        if (c.layout == OcrLayout::Vertical) {
            // Its five characters side by side: wider than tall.
            EXPECT_GT(pixGetWidth(p.pix.get()), 3 * pixGetHeight(p.pix.get())) << c.file;
        } else {
            // Scaled, with a margin of half the target height on each side.
            EXPECT_NEAR(pixGetHeight(p.pix.get()), h * p.scale + kOcrTargetHeight, 2) << c.file;
            EXPECT_NEAR(pixGetWidth(p.pix.get()), w * p.scale + kOcrTargetHeight, 2) << c.file;
        }
        // Dark text on a light ground: the corner shows the ground.
        l_uint32 corner = 0;
        pixGetPixel(p.pix.get(), 0, 0, &corner);
        EXPECT_GT(corner, 200u) << c.file;
    }
    std::string reason;
    PixPtr blank = DecodeOcrImage(TestImage("blank.png"), reason);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(PrepareOcrImage(blank.get()).pix, nullptr);
}

// Counts the characters of `text` in the words of a small list, longest first, as the
// dictionaries do.
OcrWordCounter CounterOf(std::set<std::u16string> words) {
    return [words = std::move(words)](std::u16string_view text) {
        int n = 0;
        for (std::size_t i = 0; i < text.size();) {
            std::size_t len = 0;
            for (std::size_t l = std::min<std::size_t>(4, text.size() - i); l >= 2 && len == 0; --l)
                if (words.count(std::u16string(text.substr(i, l)))) len = l;
            n += static_cast<int>(len);
            i += len > 0 ? len : 1;
        }
        return n;
    };
}

std::string BinFolder() {
    return DirName(KESTRUNE_BINARY);
}

class OcrEngineTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string error;
        engine_ = LoadOcrEngine(BinFolder(), "", error).release();
        ASSERT_NE(engine_, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete engine_;
        engine_ = nullptr;
    }
    static OcrEngine* engine_;
};
OcrEngine* OcrEngineTest::engine_ = nullptr;

TEST_F(OcrEngineTest, RenderedTextIsReadBackExactly) {
    const OcrWordCounter simplified = CounterOf(
        {u"中华", u"人民", u"共和国", u"今天", u"天气", u"学习", u"中文", u"电脑", u"苹果",
         u"我们", u"明天", u"图书馆", u"开门", u"春眠", u"不觉"});
    const OcrWordCounter traditional = CounterOf({u"繁體", u"中文"});
    const struct {
        const char* file;
        const OcrWordCounter& counter;
        const char* text;
    } cases[] = {
        {"small.png", simplified, "中华人民共和国"},         // 12 px
        {"normal.png", simplified, "今天天气很好"},          // 22 px serif
        {"inverted.png", simplified, "学习中文"},            // light on dark
        {"vertical.png", simplified, "春眠不觉晓"},          // one column
        {"block.png", simplified, "我们明天见图书馆开门"},   // two lines
        {"traditional.png", traditional, "繁體中文"},
        {"word.jpg", simplified, "电脑"},                    // JPEG
        {"transparent.png", simplified, "苹果"},             // transparent ground
    };
    for (const auto& c : cases) {
        const OcrResult r = engine_->Recognize(TestImage(c.file), c.counter);
        EXPECT_EQ(r.status, OcrStatus::Text) << c.file << ": " << r.reason;
        EXPECT_EQ(r.text, c.text) << c.file;
    }
    for (const char* file : {"blank.png", "latin.png"}) {
        const OcrResult r = engine_->Recognize(TestImage(file), simplified);
        EXPECT_EQ(r.status, OcrStatus::NoText) << file;
        EXPECT_EQ(r.text, "") << file;
    }
    const OcrResult bad = engine_->Recognize("not an image", simplified);
    EXPECT_EQ(bad.status, OcrStatus::BadImage);
    EXPECT_EQ(bad.reason, "not a PNG or JPEG image");
}

TEST_F(OcrEngineTest, TheScriptWithMoreDictionaryWordsIsKept) {
    // The same image, read in both scripts: the dictionary decides which reading is kept.
    const std::string image = TestImage("normal.png");
    EXPECT_EQ(engine_->Recognize(image, CounterOf({u"今天", u"天氣"})).text, "今天天氣很好");
    EXPECT_EQ(engine_->Recognize(image, CounterOf({u"今天", u"天气"})).text, "今天天气很好");
}

TEST(OcrModule, MissingModelsNameTheirPackages) {
    TempDir empty;
    std::string error;
    std::unique_ptr<OcrEngine> engine = LoadOcrEngine(BinFolder(), empty.path(), error);
    ASSERT_NE(engine, nullptr) << error;
    const OcrResult r = engine->Recognize(TestImage("normal.png"), {});
    EXPECT_EQ(r.status, OcrStatus::NoModels);
    EXPECT_EQ(r.reason, "the Chinese text models are missing from " + empty.path() +
                            " (chi_sim.traineddata, chi_tra.traineddata): install the Debian "
                            "packages tesseract-ocr-chi-sim tesseract-ocr-chi-tra");
    // A bad image is still told as such.
    EXPECT_EQ(engine->Recognize("GIF89a", {}).status, OcrStatus::BadImage);
}

TEST(OcrModule, PreloadKeepsTheModelsThatLoad) {
    // Loaded side by side: one model that loads, one file that is no model, one missing.
    const std::vector<std::pair<const char*, const char*>> setups = {
        {"chi_sim", "broken"}, {"broken", "chi_tra"}, {"chi_sim", nullptr}, {nullptr, "chi_tra"}};
    for (const auto& [sim, tra] : setups) {
        TempDir models;
        const auto place = [&](const char* what, const char* name) {
            if (what == nullptr) return;
            const std::string file = models.file(std::string(name) + ".traineddata");
            if (std::string(what) == "broken")
                test::WriteBytes(file, "not a model");
            else
                ASSERT_EQ(::symlink((OcrModelFolder(std::getenv("TESSDATA_PREFIX")) + "/" + what +
                                     ".traineddata").c_str(),
                                    file.c_str()),
                          0);
        };
        place(sim, "chi_sim");
        place(tra, "chi_tra");
        std::string error;
        std::unique_ptr<OcrEngine> engine = LoadOcrEngine(BinFolder(), models.path(), error);
        ASSERT_NE(engine, nullptr) << error;
        engine->Preload();
        engine->Preload();  // again: nothing more to load
        const OcrResult r = engine->Recognize(TestImage("normal.png"), CounterOf({u"今天"}));
        EXPECT_EQ(r.status, OcrStatus::Text) << r.reason;
        EXPECT_EQ(ToSimplifiedText(Utf8ToUtf16(r.text), true), u"今天天气很好")
            << (sim ? sim : "-") << " " << (tra ? tra : "-");
    }
    // Neither loads: the models are missing, as without Preload.
    TempDir models;
    test::WriteBytes(models.file("chi_sim.traineddata"), "");
    std::string error;
    std::unique_ptr<OcrEngine> engine = LoadOcrEngine(BinFolder(), models.path(), error);
    ASSERT_NE(engine, nullptr) << error;
    engine->Preload();
    EXPECT_EQ(engine->Recognize(TestImage("normal.png"), {}).status, OcrStatus::NoModels);
}

TEST(OcrModule, NotFoundSaysWhereItLooked) {
    TempDir dir;
    std::string error;
    EXPECT_EQ(LoadOcrEngine(dir.path(), "", error), nullptr);
    const std::vector<std::string> tried = OcrModuleCandidates(dir.path());
    ASSERT_EQ(tried.size(), 2u);
    EXPECT_EQ(tried[0], dir.path() + "/libkestrune-ocr.so");
    EXPECT_EQ(error, "the recognizer libkestrune-ocr.so is not installed (looked for " + tried[0] +
                         ", " + tried[1] + ")");
    // A file that is no library is named with the loader's reason.
    test::WriteBytes(dir.file("libkestrune-ocr.so"), "not a library");
    EXPECT_EQ(LoadOcrEngine(dir.path(), "", error), nullptr);
    EXPECT_EQ(error.rfind("the recognizer " + dir.file("libkestrune-ocr.so") + " does not load: ", 0),
              0u)
        << error;
}

}  // namespace
}  // namespace kes
