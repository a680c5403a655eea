// The recognizer behind OcrEngine: decodes and prepares an image (ocr/ocrimage.h) and reads it
// with tesseract's LSTM models of both Chinese scripts, keeping the reading that finds more
// dictionary words. Part of the recognition module only.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "ocr/ocrengine.h"

namespace tesseract {
class TessBaseAPI;
}

namespace kes {

class Recognizer : public OcrEngine {
  public:
    explicit Recognizer(std::string modelFolder);
    ~Recognizer() override;
    OcrResult Recognize(std::string_view bytes, const OcrWordCounter& countWords) override;
    void Preload() override;

  private:
    // The engine for a model, loaded on first use; null (with `missing` set) when its file is
    // not in the model folder or does not load.
    tesseract::TessBaseAPI* Engine(const std::string& model);

    std::string folder_;
    std::map<std::string, std::unique_ptr<tesseract::TessBaseAPI>> engines_;
};

}  // namespace kes
