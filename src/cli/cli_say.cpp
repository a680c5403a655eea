#include "cli/cli_say.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "app/registry.h"
#include "app/settings.h"
#include "app/speech.h"
#include "base/paths.h"
#include "base/replacefile.h"
#include "base/text.h"

namespace kes {

namespace {

const char* const kSayUsage = "usage: kestrune say [--wav FILE] TEXT\n";

// True when `head`, the first 12 bytes of a file of `size` bytes, begin a RIFF WAVE file of
// that size with room for its format and data chunk headers.
bool LooksLikeWav(const std::string& head, int64_t size) {
    if (size < 44 || head.size() < 12 || head.compare(0, 4, "RIFF") != 0 ||
        head.compare(8, 4, "WAVE") != 0)
        return false;
    uint32_t riff = 0;
    for (int i = 3; i >= 0; --i)
        riff = riff << 8 | static_cast<unsigned char>(head[4 + static_cast<std::size_t>(i)]);
    return static_cast<int64_t>(riff) + 8 == size;
}

}  // namespace

int RunSayCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                  std::ostream& out, std::ostream& err) {
    std::string wavPath;
    bool wantWav = false;
    std::string text;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "--help" || a == "-h")) {
            out << kSayUsage << std::flush;
            return 0;
        } else if (options && a == "--wav") {
            if (i + 1 >= args.size()) {
                err << "kestrune say: --wav needs a file name\n" << kSayUsage << std::flush;
                return 2;
            }
            wantWav = true;
            wavPath = args[++i];
        } else if (options && a.rfind("--wav=", 0) == 0) {
            wantWav = true;
            wavPath = a.substr(6);
        } else if (options && a.size() > 1 && a[0] == '-') {
            err << "kestrune say: unknown option " << a << '\n' << kSayUsage << std::flush;
            return 2;
        } else {
            if (!text.empty()) text += ' ';
            text += a;
        }
    }
    const std::u16string query = Trim(Utf8ToUtf16(text));
    if (query.empty()) {
        err << "kestrune say: no text given\n" << kSayUsage << std::flush;
        return 2;
    }
    if (wantWav && wavPath.empty()) {
        err << "kestrune say: --wav needs a file name\n" << kSayUsage << std::flush;
        return 2;
    }

    std::u16string pinyin = query;
    if (!IsTonedPinyin(query)) {
        Registry reg;
        RegistryCallbacks cb;
        cb.message = [&err](const std::string& m) { err << m << '\n' << std::flush; };
        DiscoverOptions discover;
        discover.writeDicts = false;
        discover.keepStaleIndexes = true;  // a command that only reads changes no file
        DiscoverDictionaries(reg, ctx.programFolder, cb, discover);
        const SearchOptions options =
            SearchOptionsOf(LoadSettings(JoinPath(ctx.programFolder, kSetupIniName)));
        std::string error;
        std::optional<std::u16string> found = PinyinToSpeak(reg, query, options, error);
        if (!error.empty()) {
            err << "kestrune say: " << error << '\n' << std::flush;
            return 2;
        }
        if (!found) {
            err << "kestrune say: \"" << Utf16ToUtf8(query)
                << "\" is neither pinyin with tones (zhong1 guo2, zhōng guó) nor a headword of "
                   "the dictionaries in "
                << ctx.programFolder << '\n'
                << std::flush;
            return 1;
        }
        pinyin = *found;
    }
    const std::string speech = SpeechText(pinyin);
    if (speech.empty()) {
        err << "kestrune say: nothing to speak in the pinyin \"" << Utf16ToUtf8(pinyin) << "\"\n"
            << std::flush;
        return 1;
    }

    const std::string program = FindSpeechProgram();
    if (program.empty()) {
        err << "kestrune say: " << kSpeechMissingMessage << '\n' << std::flush;
        return 2;
    }
    if (!wantWav) {
        const Outcome spoken = RunSpeech(program, speech);
        if (!spoken.ok) {
            err << "kestrune say: " << MessageWithDetail(spoken) << '\n' << std::flush;
            return 2;
        }
        return 0;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(wavPath, ec)) {
        err << "kestrune say: " << wavPath << ": is a folder, not a file name\n" << std::flush;
        return 2;
    }
    try {
        // The voice writes straight into the replacement's temporary file, which takes the
        // old file's place only when it holds a whole WAV file.
        FileReplacement replacement(wavPath);
        const Outcome spoken = RunSpeech(program, speech, replacement.tempPath());
        if (!spoken.ok) {
            err << "kestrune say: " << MessageWithDetail(spoken) << '\n' << std::flush;
            return 2;
        }
        ByteFile& file = replacement.file();
        const int64_t size = file.size();
        std::string head(static_cast<std::size_t>(std::min<int64_t>(size, 12)), '\0');
        file.seek(0);
        if (!head.empty()) file.read(head.data(), head.size());
        if (!LooksLikeWav(head, size)) {
            err << "kestrune say: " << program << " gave no WAV audio (" << size << " bytes)\n"
                << std::flush;
            return 2;
        }
        replacement.commit();
    } catch (const IoError& e) {
        err << "kestrune say: " << e.what() << '\n' << std::flush;
        return 2;
    }
    return 0;
}

}  // namespace kes
