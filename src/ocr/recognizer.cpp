#include "ocr/recognizer.h"

#include <leptonica/allheaders.h>
#include <sys/stat.h>
#include <tesseract/baseapi.h>

#include <cstdlib>
#include <vector>

#include "base/text.h"
#include "ocr/ocrimage.h"

namespace kes {

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ModelPath(const std::string& folder, const std::string& model) {
    return folder + "/" + model + ".traineddata";
}

struct Reading {
    std::string text;  // cleaned
    int words = -1;    // characters in dictionary words
    int confidence = 0;
};

// The engine's reading of the image it was given, with its mean confidence (0 to 100).
Reading Read(tesseract::TessBaseAPI& api) {
    Reading r;
    std::unique_ptr<char[]> raw(api.GetUTF8Text());
    if (raw) r.text = CleanOcrText(raw.get());
    r.confidence = api.MeanTextConf();
    return r;
}

}  // namespace

Recognizer::Recognizer(std::string modelFolder) : folder_(std::move(modelFolder)) {
    SilenceImageLibrary();
}

Recognizer::~Recognizer() {
    for (auto& [name, api] : engines_)
        if (api) api->End();
}

tesseract::TessBaseAPI* Recognizer::Engine(const std::string& model) {
    auto found = engines_.find(model);
    if (found != engines_.end()) return found->second.get();
    std::unique_ptr<tesseract::TessBaseAPI> api;
    if (IsFile(ModelPath(folder_, model))) {
        api = std::make_unique<tesseract::TessBaseAPI>();
        // Its messages would go to the user's terminal; the result says what matters.
        api->SetVariable("debug_file", "/dev/null");
        if (api->Init(folder_.c_str(), model.c_str(), tesseract::OEM_LSTM_ONLY) != 0)
            api.reset();
    }
    tesseract::TessBaseAPI* raw = api.get();
    engines_[model] = std::move(api);
    return raw;
}

void Recognizer::Preload() {
    Engine("chi_sim");
    Engine("chi_tra");
}

OcrResult Recognizer::Recognize(std::string_view bytes, const OcrWordCounter& countWords) {
    OcrResult result;
    std::string reason;
    PixPtr decoded = DecodeOcrImage(bytes, reason);
    if (!decoded) {
        result.status = OcrStatus::BadImage;
        result.reason = reason;
        return result;
    }
    PreparedImage prepared = PrepareOcrImage(decoded.get());
    decoded.reset();
    if (!prepared.pix) return result;  // NoText: one plain colour

    // Vertical text comes as one line of its characters (ocr/ocrimage.h).
    const tesseract::PageSegMode mode = prepared.layout == OcrLayout::Block
                                            ? tesseract::PSM_SINGLE_BLOCK
                                            : tesseract::PSM_SINGLE_LINE;
    const std::vector<std::string> models = {"chi_sim", "chi_tra"};

    Reading best;
    bool anyModel = false;
    for (const std::string& model : models) {
        tesseract::TessBaseAPI* api = Engine(model);
        if (api == nullptr) continue;
        anyModel = true;
        api->SetPageSegMode(mode);
        api->SetImage(prepared.pix.get());
        api->SetSourceResolution(300);
        Reading r = Read(*api);
        api->Clear();
        if (!HasHanCharacter(r.text)) continue;
        r.words = countWords ? countWords(Utf8ToUtf16(r.text)) : 0;
        if (r.words > best.words || (r.words == best.words && r.confidence > best.confidence))
            best = std::move(r);
    }
    if (!anyModel) {
        result.status = OcrStatus::NoModels;
        std::string files, packages;
        for (const OcrModel& m : kOcrModels) {
            if (std::string(m.name).find("_vert") != std::string::npos) continue;
            files += std::string(files.empty() ? "" : ", ") + m.name + ".traineddata";
            packages += std::string(packages.empty() ? "" : " ") + m.package;
        }
        result.reason = "the Chinese text models are missing from " + folder_ + " (" + files +
                        "): install the Debian packages " + packages;
        return result;
    }
    if (best.words < 0) return result;  // NoText
    result.status = OcrStatus::Text;
    result.text = std::move(best.text);
    return result;
}

}  // namespace kes

// The module's entry (see ocr/ocrengine.h).
extern "C" __attribute__((visibility("default"))) kes::OcrEngine* KestruneOcrCreateEngine(
    const char* tessdata) {
    try {
        return new kes::Recognizer(tessdata != nullptr && *tessdata != '\0'
                                       ? std::string(tessdata)
                                       : kes::OcrModelFolder(std::getenv("TESSDATA_PREFIX")));
    } catch (...) {
        return nullptr;
    }
}
