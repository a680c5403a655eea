// Path helpers for 8-bit paths ('/' separates folders). Pure string work: nothing here looks
// at the disk.
#pragma once

#include <string>

namespace kes {

// `name` in `folder` ("" = the working folder: `name` itself).
std::string JoinPath(const std::string& folder, const std::string& name);
// The part after the last '/'.
std::string BaseName(const std::string& path);
// The part before the last '/' ("." when there is none, "/" for a file in the root).
std::string DirName(const std::string& path);
// Replaces the extension (the part from the last '.' of the file name on) or appends it.
std::string ChangeExtension(const std::string& path, const std::string& ext);

}  // namespace kes
