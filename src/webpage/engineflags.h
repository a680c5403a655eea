// The command-line flags the page plugin gives the browser engine, from those the user set.
#pragma once

#include <string>

namespace kes::webpage {

// `userFlags` (QTWEBENGINE_CHROMIUM_FLAGS as set) with what the viewer needs added, each only
// when the user has not said it already:
// - "--disable-gpu": pages are drawn in software;
// - "--no-zygote", only when the engine's sandbox is off (`sandboxOff`: the user turned it
//   off): the page's helper process is then started directly, instead of two resident
//   template processes that start it, which costs start-up time and memory. With the sandbox
//   on, the engine needs them and nothing is added;
// - "--js-flags=\"--expose-gc --no-compilation-cache\"", unless the user gave script engine
//   flags: each page body reaches the page inside a script of its own, and the engine would
//   keep every such script in its compilation cache (about 5 KB a search, never dropped) and
//   leave the replaced bodies uncollected (about 17 KB a search); the page view collects them
//   itself through gc() (see WebPageView). Only the viewer's isolated world can call it: the
//   page's own content never runs script.
std::string EngineFlags(std::string userFlags, bool sandboxOff);

// Whether the user turned the engine's sandbox off: QTWEBENGINE_DISABLE_SANDBOX set to a value
// other than empty or "0", or "--no-sandbox" among the flags.
bool SandboxTurnedOff(const char* disableSandboxVariable, const std::string& userFlags);

}  // namespace kes::webpage
