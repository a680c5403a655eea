#include "cli/cli_write.h"

#include <cstddef>
#include <iterator>
#include <optional>

#include "app/dictchars.h"
#include "app/registry.h"
#include "app/settings.h"
#include "base/bytefile.h"
#include "base/filesystem.h"
#include "base/paths.h"
#include "base/text.h"
#include "hand/recognizer.h"
#include "hand/strokes.h"

namespace kes {

namespace {

constexpr const char* kUsage = "Usage: kestrune write [--model FILE] FILE|-\n";

}  // namespace

namespace {

// The options of write: --model FILE (or --model=FILE), --help and the one stroke file. An exit
// code when the command ends here (usage error, or the help written).
std::optional<int> ParseWriteArgs(const std::vector<std::string>& args, std::ostream& out,
                                  std::ostream& err, std::string& model, std::string& file) {
    // --model takes a value, which the shared parser does not know; it sees the rest.
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        if (args[i] == "--model" && i + 1 < args.size()) {
            model = args[++i];
        } else if (args[i].rfind("--model=", 0) == 0) {
            model = args[i].substr(8);
        } else {
            rest.push_back(args[i]);
        }
    }
    FileCommandArgs a;
    std::string error = ParseFileCommandArgs(
        rest, [](const std::string&) { return false; }, "One stroke file only: ", "No file given",
        a);
    if (error.empty() && a.name) error = "Unknown option: --name";
    if (!error.empty()) {
        err << "kestrune write: " << error << '\n' << kUsage << std::flush;
        return 2;
    }
    if (a.help) {
        WriteOutput(out, kUsage);
        FlushOutput(out);
        return 0;
    }
    file = a.file;
    return std::nullopt;
}

// The stroke file's text, or standard input's for "-" (at most kMaxHandFileBytes); false, with
// the reason on `err`, when it cannot be read.
bool ReadStrokeText(const std::string& file, const std::string& name, std::istream& in,
                    std::ostream& err, std::string& text) {
    if (file == "-") {
        // At most one byte more than allowed is read, to tell that it was too much.
        std::istreambuf_iterator<char> it(in), end;
        while (it != end && text.size() <= kMaxHandFileBytes)
            text.push_back(*it++);
        if (in.bad()) {
            err << "kestrune write: cannot read the strokes from standard input\n" << std::flush;
            return false;
        }
        if (text.size() > kMaxHandFileBytes) {
            err << "kestrune write: " << name << ": too large (at most " << kMaxHandFileBytes
                << " bytes)\n"
                << std::flush;
            return false;
        }
    } else {
        if (!FileExists(file)) {
            err << "kestrune write: file not found: " << file << '\n' << std::flush;
            return false;
        }
        try {
            text = ReadSmallFile(file, kMaxHandFileBytes);
        } catch (const IoError& e) {
            err << "kestrune write: " << e.what() << '\n' << std::flush;
            return false;
        }
    }

    return true;
}

// The candidates one per line, best first, each with its traditional forms after a TAB.
std::string CandidateLines(const HandResult& result) {
    std::string lines;
    for (const HandCandidate& c : result.candidates) {
        lines += c.text;
        if (!c.traditional.empty()) {
            for (std::size_t i = 0; i < c.traditional.size(); ++i) {
                lines += i == 0 ? '\t' : ' ';
                lines += Utf16ToUtf8(c.traditional.substr(i, 1));
            }
        }
        lines += '\n';
    }
    return lines;
}

}  // namespace

int RunWriteCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                    std::istream& in, std::ostream& out, std::ostream& err) {
    std::string model = kHandModelPath;
    std::string file;
    if (std::optional<int> done = ParseWriteArgs(args, out, err, model, file)) return *done;

    const std::string name = file == "-" ? std::string("standard input") : file;
    std::string text;
    if (!ReadStrokeText(file, name, in, err, text)) return 2;

    const StrokesParse parsed = ParseStrokesJson(text);
    if (!parsed.ok) {
        err << "kestrune write: " << name << ": " << parsed.error
            << " (expected [[[x,y],...],...])\n"
            << std::flush;
        return 2;
    }
    const HandStrokes strokes = PrepareStrokes(parsed.strokes);
    if (strokes.empty()) {
        err << "kestrune write: " << name << ": the drawing is empty (no stroke has a point)\n"
            << std::flush;
        return 2;
    }

    Outcome opened;
    const auto recognizer = HandRecognizer::Open(model, opened);
    if (!recognizer) {
        err << "kestrune write: " << MessageWithDetail(opened) << '\n' << std::flush;
        return 2;
    }

    // The dictionaries as the viewer has them; a read-only command changes no file.
    Registry reg;
    RegistryCallbacks cb;
    cb.message = [&err](const std::string& message) { err << message << '\n' << std::flush; };
    DiscoverOptions discover;
    discover.writeDicts = false;
    discover.keepStaleIndexes = true;
    if (!ctx.programFolder.empty()) DiscoverDictionaries(reg, ctx.programFolder, cb, discover);
    const Settings settings = LoadSettings(JoinPath(ctx.programFolder, kSetupIniName));
    DictionaryChars known(reg, settings.SearchBoth);

    HandOptions options;
    if (!reg.Dicts.empty()) options.inDictionary = [&known](char32_t ch) { return known.Has(ch); };
    const HandResult result = recognizer->Recognize(strokes, options);
    if (result.candidates.empty()) {
        err << "kestrune write: " << name << ": no character recognised\n" << std::flush;
        return 1;
    }
    const std::string lines = CandidateLines(result);
    WriteOutput(out, lines);
    FlushOutput(out);
    return 0;
}

}  // namespace kes
