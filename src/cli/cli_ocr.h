// The "ocr" command: the Chinese text found in images, one line per image, for a lookup or a
// pipe into "kestrune popup -". Loads the recognition module (ocr/ocrengine.h) on first use.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "ocr/ocrengine.h"

namespace kes {

// Where the recognition module may be, in the order they are tried: beside the entry (the
// build tree), then in the installed layout's library folder (as for the viewer).
std::vector<std::string> OcrModuleCandidates(const std::string& executableFolder);

// Loads the module from the first candidate that exists and makes an engine for the models of
// `modelFolder` (empty: TESSDATA_PREFIX, else Debian's folder). Before that, unless the user
// set it, OMP_THREAD_LIMIT=1: on a small machine the engine's threads only slow it down, and
// the thread library reads the limit when the module brings it in. Null with the reason in
// `error` when no module is found or it does not load (a missing library names its package).
std::unique_ptr<OcrEngine> LoadOcrEngine(const std::string& executableFolder,
                                         const std::string& modelFolder, std::string& error);

// The number of characters of a text in words of two or more characters, in the enabled
// dictionary of `programFolder` that knows most of them (both forms of the characters match:
// the indexes hold one). The dictionaries are found on the first call; none counts 0.
OcrWordCounter DictionaryWordCounterOf(const std::string& programFolder);

// kestrune ocr --serve: the viewer's recognizer process (ocr/ocrprotocol.h). Loads the
// engine and its models at once, then answers each request frame on `inFd` with a reply frame
// on `outFd`, until `inFd` is closed or no request came for `idleSeconds`. Returns 0 then, 2
// when the input breaks the protocol or the output cannot be written.
int RunOcrServe(const CommandContext& ctx, const std::string& executableFolder, int inFd,
                int outFd, int idleSeconds);

// kestrune ocr [--] FILE...   (FILE "-": the image on standard input)
// Prints per image the text found on one line; with several files each line begins with the
// file name and a TAB (a file without text gives its name and the TAB alone). Every failure
// names the file and the reason on `err` ("kestrune ocr: FILE: reason"), a single image without
// text "kestrune ocr: FILE: No Chinese text found". Dictionary words are counted in the
// dictionaries of ctx.programFolder (none: the engine's confidence decides). Returns 0 when
// text was found in an image, 1 when in none, 2 on an error (a file that cannot be read or is
// no usable image, missing models, wrong arguments).
int RunOcrCommand(const std::vector<std::string>& args, const CommandContext& ctx,
                  const std::string& executableFolder, std::istream& in, std::ostream& out,
                  std::ostream& err);

}  // namespace kes
