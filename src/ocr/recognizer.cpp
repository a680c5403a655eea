#include "ocr/recognizer.h"

#include <leptonica/allheaders.h>
#include <sys/stat.h>
#include <tesseract/baseapi.h>

#include <cstdlib>
#include <system_error>
#include <thread>
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

// An engine for `model` when its file is in `folder`, not loaded yet.
std::unique_ptr<tesseract::TessBaseAPI> NewEngine(const std::string& folder, const std::string& model) {
    if (!IsFile(ModelPath(folder, model))) return nullptr;
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    // Its messages would go to the user's terminal; the result says what matters.
    api->SetVariable("debug_file", "/dev/null");
    return api;
}

// Loads the model into `api`; false when it does not load.
bool InitEngine(tesseract::TessBaseAPI& api, const std::string& folder, const std::string& model) {
    return api.Init(folder.c_str(), model.c_str(), tesseract::OEM_LSTM_ONLY) == 0;
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
    std::unique_ptr<tesseract::TessBaseAPI> api = NewEngine(folder_, model);
    if (api && !InitEngine(*api, folder_, model)) api.reset();
    tesseract::TessBaseAPI* raw = api.get();
    engines_[model] = std::move(api);
    return raw;
}

void Recognizer::Preload() {
    // The two models load side by side (about 0.12 s of processor time each): with a free
    // core, the first region is answered in about half the time. The engines are made here,
    // as making one sets the engine library's shared settings; only the loading is parallel.
    const std::string sim = "chi_sim", tra = "chi_tra";
    if (engines_.count(sim) != 0 || engines_.count(tra) != 0) {
        Engine(sim);
        Engine(tra);
        return;
    }
    std::unique_ptr<tesseract::TessBaseAPI> simApi = NewEngine(folder_, sim);
    std::unique_ptr<tesseract::TessBaseAPI> traApi = NewEngine(folder_, tra);
    bool traLoaded = false;
    std::thread other;
    if (traApi) {
        try {
            other = std::thread([&] { traLoaded = InitEngine(*traApi, folder_, tra); });
        } catch (const std::system_error&) {
            traLoaded = InitEngine(*traApi, folder_, tra);  // no thread: one after the other
        }
    }
    const bool simLoaded = simApi && InitEngine(*simApi, folder_, sim);
    if (other.joinable()) other.join();
    if (!simLoaded) simApi.reset();
    if (!traLoaded) traApi.reset();
    engines_[sim] = std::move(simApi);
    engines_[tra] = std::move(traApi);
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
