#include "app/speech.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/filesystem.h"
#include "base/lines.h"
#include "base/text.h"

extern char** environ;

namespace kes {

namespace {

// Keeps the pinyin of the first entry that answers the text (see PinyinToSpeak).
class FirstSpoken : public SearchWriter {
  public:
    explicit FirstSpoken(std::u16string_view text)
        : text_(text), chinese_(ContainsChinese(text)) {}

    void BeginReading(std::u16string_view) override { reading_ = true; }
    void BeginDict(const TDic&, std::size_t) override {}
    void BeginPiece(std::u16string_view) override {}
    void WriteEntry(const FoundEntry& found) override {
        if (pinyin_) return;
        const auto& forms = found.Model.Forms;
        const bool named = std::any_of(forms.begin(), forms.end(), [this](const std::u16string& f) {
            return f == text_ || LowerLatinCyr(f) == LowerLatinCyr(text_);
        });
        // A Chinese text is found through the headwords only; other text also through the
        // words of the senses, which do not name the entry.
        if (reading_ || chinese_ || named) pinyin_ = found.Model.Fields.Pinyin;
    }
    void EndDict() override {}
    void Finish(const SearchEnd&) override {}

    std::optional<std::u16string> pinyin_;

  private:
    std::u16string text_;
    bool chinese_;
    bool reading_ = false;
};

}  // namespace

std::optional<std::u16string> PinyinToSpeak(const Registry& reg, std::u16string_view text,
                                            const SearchOptions& options, std::string& error) {
    SearchOptions o = options;
    o.TranslateAll = false;
    o.ShowUcs2 = false;
    o.ShowUnihan = false;
    o.PageOut = {};
    const std::u16string trimmed = Trim(text);
    FirstSpoken writer(trimmed);
    QueryHistory unused;
    SearchResult r = RunSearch(reg, unused, trimmed, 0, false, o, writer);
    error = r.Error;
    return writer.pinyin_;
}

std::string FindSpeechProgram() {
    return FindOnPath(kSpeechProgram, std::getenv("PATH"));
}

std::vector<std::string> SpeechArguments(const std::string& text, const std::string& wavFile) {
    std::vector<std::string> args{"-v", kSpeechVoice};
    if (!wavFile.empty()) {
        args.emplace_back("-w");
        args.push_back(wavFile);
    }
    // The text never passes for an option: "--" ends them.
    args.emplace_back("--");
    args.push_back(text);
    return args;
}

Outcome RunSpeech(const std::string& program, const std::string& text, const std::string& wavFile) {
    Outcome o;
    o.message = "ERROR: The speech program espeak-ng failed!";
    std::vector<std::string> args{program};
    for (std::string& a : SpeechArguments(text, wavFile))
        args.push_back(std::move(a));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        o.detail = program + ": " + std::strerror(spawned);
        return o;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            o.detail = program + ": " + std::strerror(errno);
            return o;
        }
    }
    if (WIFSIGNALED(status)) {
        o.detail = program + ": ended by signal " + std::to_string(WTERMSIG(status));
    } else if (WEXITSTATUS(status) != 0) {
        o.detail = program + ": ended with exit code " + std::to_string(WEXITSTATUS(status));
    } else {
        o.ok = true;
        o.message.clear();
    }
    return o;
}

}  // namespace kes
