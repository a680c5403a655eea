// What every fuzz target shares: one scratch folder per process, and small file helpers.
// Inputs reach the code under test as files, as they do in the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kes::fuzz {

// A folder of its own for this process (created on first use, removed at exit).
const std::string& Scratch();
std::string ScratchFile(const std::string& name);
void WriteFile(const std::string& path, std::string_view bytes);
void WriteFile(const std::string& path, const uint8_t* data, std::size_t size);
// Lines as a UTF-16LE file with CR LF after each line.
void WriteUcs2Lines(const std::string& path, const std::vector<std::string>& utf8Lines);
// A small real dictionary NAME.ced/NAME.idx in `folder`, indexed with translation words and
// pinyin; aborts when the index cannot be built.
void MakeDictionary(const std::string& folder, const std::string& name);

}  // namespace kes::fuzz
