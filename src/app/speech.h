// Hearing a word: the program espeak-ng, run as a separate process (its library is under the
// GPL-3; the program keeps it out of ours) with the voice cmn-latn-pinyin and the text of
// app/speechtext.h, and the pinyin spoken for a headword.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/queryflow.h"
#include "app/registry.h"
#include "app/speechtext.h"
#include "base/result.h"

namespace kes {
inline constexpr char kSpeechProgram[] = "espeak-ng";
inline constexpr char kSpeechVoice[] = "cmn-latn-pinyin";
// What a user without espeak-ng is told (once): which package brings it.
inline constexpr char kSpeechMissingMessage[] =
    "Speech needs the program espeak-ng, which is not installed. Install the Debian package "
    "espeak-ng (sudo apt install espeak-ng) to hear words.";

// The pinyin to speak for `text` that is no toned pinyin: the pinyin of the first entry, in
// registry order, whose headword (any of its forms) is `text`; for toneless pinyin
// ("zhongguo") the pinyin of the first entry found under it. Nothing when no entry fits. A
// read error of a dictionary is reported in `error`.
std::optional<std::u16string> PinyinToSpeak(const Registry& reg, std::u16string_view text,
                                            const SearchOptions& options, std::string& error);

// The file `name` in the first folder of `path` (a PATH value, folders separated by ":")
// where it is an executable regular file; empty when there is none.
std::string FindProgram(std::string_view name, const char* path);
// The same for espeak-ng on this process's PATH.
std::string FindSpeechProgram();

// The arguments after the program name: the voice, with `toStandardOutput` the WAV audio on
// standard output instead of playing it, and the text.
std::vector<std::string> SpeechArguments(const std::string& text, bool toStandardOutput);

// Runs `program` (a path) with SpeechArguments and waits for it. With `wav` the audio is read
// from its standard output into *wav; without, the program plays it. Its standard error stays
// the caller's. Fails (message and detail) when it cannot start, is ended by a signal, or ends
// with a code other than 0.
Outcome RunSpeech(const std::string& program, const std::string& text, std::string* wav);

}  // namespace kes
