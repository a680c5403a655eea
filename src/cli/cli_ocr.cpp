#include "cli/cli_ocr.h"

#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>

#include "app/queryflow.h"
#include "app/registry.h"
#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/text.h"
#include "ocr/ocrprotocol.h"

namespace kes {

namespace {

const char* const kOcrUsage =
    "usage: kestrune ocr FILE...   (PNG or JPEG images; - reads one from standard input)\n";

std::string ShownName(const std::string& file) {
    return file == "-" ? "standard input" : file;
}

// The image bytes of a file or of standard input, at most kOcrMaxFileBytes.
std::string ReadImageBytes(const std::string& file, std::istream& in) {
    if (file != "-") return ReadSmallFile(file, static_cast<int64_t>(kOcrMaxFileBytes));
    std::string bytes;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.append(buf, static_cast<std::size_t>(in.gcount()));
        if (bytes.size() > kOcrMaxFileBytes)
            throw IoError("standard input", "more than " + std::to_string(kOcrMaxFileBytes) +
                                                " bytes (too large for an image)");
    }
    if (in.bad()) throw IoError("standard input", "read failed");
    return bytes;
}

class DictionaryWordCounter {
  public:
    explicit DictionaryWordCounter(std::string folder) : folder_(std::move(folder)) {}
    int operator()(std::u16string_view text) {
        if (!reg_) {
            reg_.emplace();
            RegistryCallbacks cb;  // a stale index is only skipped here: lookup says why
            DiscoverOptions discover;
            discover.writeDicts = false;
            discover.keepStaleIndexes = true;
            DiscoverDictionaries(*reg_, folder_, cb, discover);
        }
        int best = 0;
        for (const TDic& d : reg_->Dicts) {
            if (!d.Enabled) continue;
            int n = 0;
            try {
                for (const std::u16string& piece : SegmentText(d, text, folder_, true))
                    if (piece.size() >= 2) n += static_cast<int>(piece.size());
            } catch (const IoError&) {
                continue;  // a dictionary that cannot be read counts nothing
            }
            best = std::max(best, n);
        }
        return best;
    }

  private:
    std::string folder_;
    std::optional<Registry> reg_;
};

}  // namespace

OcrWordCounter DictionaryWordCounterOf(const std::string& programFolder) {
    auto counter = std::make_shared<DictionaryWordCounter>(programFolder);
    return [counter](std::u16string_view text) { return (*counter)(text); };
}

std::vector<std::string> OcrModuleCandidates(const std::string& executableFolder) {
    namespace fs = std::filesystem;
    const fs::path dir(executableFolder);
    return {(dir / kOcrModuleFile).lexically_normal().string(),
            (dir / KESTRUNE_VIEWER_RELDIR / kOcrModuleFile).lexically_normal().string()};
}

std::unique_ptr<OcrEngine> LoadOcrEngine(const std::string& executableFolder,
                                         const std::string& modelFolder, std::string& error) {
    std::string tried;
    for (const std::string& path : OcrModuleCandidates(executableFolder)) {
        if (!FileExists(path)) {
            tried += (tried.empty() ? "" : ", ") + path;
            continue;
        }
        ::setenv("OMP_THREAD_LIMIT", "1", 0);
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = ::dlerror();
            error = "the recognizer " + path + " does not load: " + (why ? why : "unknown reason");
            if (error.find("libtesseract") != std::string::npos)
                error += " (install the Debian package libtesseract5)";
            return nullptr;
        }
        // The module stays loaded for the rest of the process.
        auto create = reinterpret_cast<OcrCreateEngineFn>(::dlsym(module, kOcrModuleEntry));
        OcrEngine* engine = create ? create(modelFolder.c_str()) : nullptr;
        if (engine == nullptr) {
            error = "the recognizer " + path + " is not usable (no engine)";
            return nullptr;
        }
        return std::unique_ptr<OcrEngine>(engine);
    }
    error = "the recognizer " + std::string(kOcrModuleFile) + " is not installed (looked for " +
            tried + ")";
    return nullptr;
}

namespace {

// Reads what is there of `fd` within `timeoutMs`: >0 bytes read, 0 end of input, -1 timeout or
// an error.
ssize_t ReadWithin(int fd, char* buf, std::size_t size, int timeoutMs) {
    struct pollfd p {fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return -1;
    ssize_t n;
    do {
        n = ::read(fd, buf, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

int RunOcrServe(const CommandContext& ctx, const std::string& executableFolder, int inFd,
                int outFd, int idleSeconds) {
    ::signal(SIGPIPE, SIG_IGN);
    std::string why;
    std::unique_ptr<OcrEngine> engine = LoadOcrEngine(executableFolder, {}, why);
    if (engine) engine->Preload();
    const OcrWordCounter countWords = DictionaryWordCounterOf(ctx.programFolder);
    OcrFrameReader reader;
    std::string pending;
    char buf[65536];
    while (true) {
        if (pending.empty()) {
            // Between requests the process waits at most idleSeconds; inside one, 10 s a read.
            const bool inside = reader.started();
            const ssize_t n = ReadWithin(inFd, buf, sizeof buf, inside ? 10000 : idleSeconds * 1000);
            if (n <= 0) return inside ? 2 : 0;  // a frame cut off, or the end / idle time
            pending.assign(buf, static_cast<std::size_t>(n));
        }
        const std::size_t used = reader.feed(pending.data(), pending.size());
        pending.erase(0, used);
        if (reader.state() == OcrFrameReader::State::Invalid) return 2;
        if (reader.state() != OcrFrameReader::State::Complete) continue;
        const std::string reply =
            engine ? EncodeOcrReply(engine->Recognize(reader.payload(), countWords))
                   : EncodeOcrFailure(why);
        reader.reset();
        if (!WriteAll(outFd, FrameOcrPayload(reply))) return 2;
    }
}

namespace {

// The image files of ocr (and --help); an exit code when the command ends here.
std::optional<int> ParseOcrArgs(const std::vector<std::string>& args, std::ostream& out,
                                std::ostream& err, std::vector<std::string>& files) {
    bool options = true;
    for (const std::string& a : args) {
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--help" || a == "-h")) {
            WriteOutput(out, kOcrUsage);
            FlushOutput(out);
            return 0;
        } else if (options && a.size() > 1 && a[0] == '-') {
            err << "kestrune ocr: unknown option " << a << '\n' << kOcrUsage << std::flush;
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        err << "kestrune ocr: no image given\n" << kOcrUsage << std::flush;
        return 2;
    }
    if (std::count(files.begin(), files.end(), "-") > 1) {
        err << "kestrune ocr: standard input can hold one image only\n" << std::flush;
        return 2;
    }
    return std::nullopt;
}

}  // namespace

int RunOcrCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                  const std::string& executableFolder, std::istream& in, std::ostream& out,
                  std::ostream& err) {
    if (args.size() == 1 && args[0] == "--serve")
        return RunOcrServe(ctx, executableFolder, STDIN_FILENO, STDOUT_FILENO,
                           kOcrServeIdleSeconds);
    std::vector<std::string> files;
    if (std::optional<int> done = ParseOcrArgs(args, out, err, files)) return *done;

    std::unique_ptr<OcrEngine> engine;
    const OcrWordCounter countWords = DictionaryWordCounterOf(ctx.programFolder);
    const bool named = files.size() > 1;
    bool found = false, failed = false;
    for (const std::string& file : files) {
        const std::string name = ShownName(file);
        std::string bytes;
        try {
            bytes = ReadImageBytes(file, in);
        } catch (const IoError& e) {
            err << "kestrune ocr: " << name << ": " << e.reason() << '\n' << std::flush;
            failed = true;
            continue;
        }
        if (!engine) {
            std::string why;
            engine = LoadOcrEngine(executableFolder, {}, why);
            if (!engine) {
                err << "kestrune ocr: " << why << '\n' << std::flush;
                return 2;
            }
            engine->Preload();
        }
        const OcrResult r = engine->Recognize(bytes, countWords);
        switch (r.status) {
            case OcrStatus::NoModels:
                err << "kestrune ocr: " << r.reason << '\n' << std::flush;
                return 2;
            case OcrStatus::BadImage:
                err << "kestrune ocr: " << name << ": " << r.reason << '\n' << std::flush;
                failed = true;
                continue;
            case OcrStatus::NoText:
                if (named) WriteOutput(out, file + "\t\n");
                err << "kestrune ocr: " << name << ": No Chinese text found\n" << std::flush;
                break;
            case OcrStatus::Text:
                found = true;
                WriteOutput(out, (named ? file + "\t" : std::string()) + r.text + "\n");
                break;
        }
        FlushOutput(out);
    }
    if (failed) return 2;
    return found ? 0 : 1;
}

}  // namespace kes
