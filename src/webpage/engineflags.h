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
// - "--js-flags=--expose-gc", unless the user gave script engine flags: the page view collects
//   the garbage of replaced bodies itself (see WebPageView), which the engine would otherwise
//   leave to grow with every search. Only the viewer's isolated world can call it: the page's
//   own content never runs script.
std::string EngineFlags(std::string userFlags, bool sandboxOff);

// Whether the user turned the engine's sandbox off: QTWEBENGINE_DISABLE_SANDBOX set to a value
// other than empty or "0", or "--no-sandbox" among the flags.
bool SandboxTurnedOff(const char* disableSandboxVariable, const std::string& userFlags);

}  // namespace kes::webpage
