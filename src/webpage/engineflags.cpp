#include "webpage/engineflags.h"

#include <sstream>
#include <vector>

namespace kes::webpage {

namespace {

// True when `flag` is one of the blank-separated words of `flags`, alone or with "=value".
bool HasFlag(const std::string& flags, const std::string& flag) {
    std::istringstream words(flags);
    std::string word;
    while (words >> word)
        if (word == flag || word.rfind(flag + "=", 0) == 0) return true;
    return false;
}

void Add(std::string& flags, const char* flag) {
    if (!flags.empty()) flags += ' ';
    flags += flag;
}

}  // namespace

std::string EngineFlags(std::string userFlags, bool sandboxOff) {
    if (!HasFlag(userFlags, "--disable-gpu")) Add(userFlags, "--disable-gpu");
    if (sandboxOff && !HasFlag(userFlags, "--no-zygote") && !HasFlag(userFlags, "--zygote"))
        Add(userFlags, "--no-zygote");
    if (!HasFlag(userFlags, "--js-flags"))
        Add(userFlags, "--js-flags=\"--expose-gc --no-compilation-cache\"");
    return userFlags;
}

bool SandboxTurnedOff(const char* disableSandboxVariable, const std::string& userFlags) {
    const std::string v = disableSandboxVariable ? disableSandboxVariable : "";
    return (!v.empty() && v != "0") || HasFlag(userFlags, "--no-sandbox");
}

}  // namespace kes::webpage
