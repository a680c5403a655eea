// The "say" command: speaks pinyin, or a headword by the pinyin of its first entry, through the
// program espeak-ng (app/speech.h), or writes the audio to a WAV file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace kes {

// kestrune say [--wav FILE] TEXT...
// The words of TEXT are joined by blanks. Toned pinyin ("zhong1 guo2", "nǐ hǎo") is spoken as it
// is; other text is looked up in the dictionaries of the program folder (a headword, or toneless
// pinyin) and spoken by the pinyin of the first entry. With --wav the audio goes to FILE, written
// whole or not at all. Returns 0 when spoken (or written), 1 when the text is neither pinyin nor
// a known headword, 2 for a usage error or a failure (espeak-ng missing or failing, FILE not
// writable); the reason goes to `err`.
int RunSayCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                  std::ostream& out, std::ostream& err);

}  // namespace kes
