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

// espeak-ng on this process's PATH (base/filesystem.h FindOnPath); empty when it is not there.
std::string FindSpeechProgram();

// The arguments after the program name: the voice, with a `wavFile` the WAV audio written into
// that file instead of playing it, and the text. The program writes the file itself (never
// through a pipe), so that it can go back and fill in the sizes of the RIFF header.
std::vector<std::string> SpeechArguments(const std::string& text, const std::string& wavFile = {});

// Runs `program` (a path) with SpeechArguments and waits for it. With a `wavFile` the audio
// goes into that file (created or emptied by the program); without, the program plays it. Its
// standard input is /dev/null, its standard error stays the caller's. Fails (message and
// detail) when it cannot start, is ended by a signal, or ends with a code other than 0.
Outcome RunSpeech(const std::string& program, const std::string& text,
                  const std::string& wavFile = {});

}  // namespace kes
