// setup.ini access: an INI text file (UTF-8, LF or CR LF) held in memory as its lines, so
// that rewriting one section keeps every other section, its order and its lines. Saving
// replaces the file in one step (base/replacefile.h), so an interrupted save never leaves a
// truncated file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/result.h"

namespace kes {

using IniPair = std::pair<std::string, std::string>;

// The largest setup.ini that is read; a larger one cannot be read (and is not replaced).
inline constexpr int64_t kMaxIniBytes = 4 << 20;

class IniFile {
  public:
    IniFile() = default;

    // Reads a file; a missing or unreadable file reads as empty. Returns false (and leaves
    // the object empty) when the file exists but could not be read; `reason` then gets the
    // file name and the system's reason.
    bool load(const std::string& path, std::string* reason = nullptr);
    // Parses INI text.
    void parse(std::string_view text);
    // The whole text as it would be saved (LF line ends).
    std::string text() const;
    // Replaces `path` (the real file when it is a symbolic link, its mode kept) with text()
    // in one step. Throws IoError (naming the file, with the system's reason) when anything
    // fails; the previous file is then untouched.
    void save(const std::string& path) const;

    // Section names are matched without regard to ASCII letter case; keys likewise
    // (appendKey never matches). The first section of a name is the one that is read.
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // Decimal, or hexadecimal after "0x"/"0X"; surrounding blanks allowed. A missing key,
    // a value that is no integer or one outside the 32-bit range gives `def`.
    int32_t readInteger(std::string_view section, std::string_view key, int32_t def) const;
    // readInteger with the default 1/0; any value other than 0 is true.
    bool readBool(std::string_view section, std::string_view key, bool def) const;
    // All key=value pairs of the section in file order, keys and values trimmed. Lines
    // without "=" and comment lines (";" or "#" first) are not pairs.
    std::vector<IniPair> readSection(std::string_view section) const;

    // Sets a key: replaces the value of the first matching key of the section, otherwise
    // appends the key to the section, creating the section at the end when needed.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int32_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    // Appends key=value to the section without looking for an existing key (keys are then
    // kept exactly, letter case included).
    void appendKey(std::string_view section, std::string_view key, std::string_view value);
    // Removes every section of that name with all its lines.
    void eraseSection(std::string_view section);

  private:
    struct Line {
        std::string raw;
        std::string key;  // trimmed; empty when the line is no pair
        std::string value;
        bool isPair = false;
    };
    struct Section {
        std::string name;  // empty for the lines before the first header
        bool hasHeader = false;
        std::string headerRaw;
        std::vector<Line> lines;  // the header line is not among them
    };

    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    const Line* findKey(std::string_view section, std::string_view key) const;
    Section& sectionForWrite(std::string_view name);
    static void appendLine(Section& s, Line line);

    std::vector<Section> sections_;
};

// Parses an INI integer value as readInteger does; false when it is no integer.
bool ParseIniInteger(std::string_view value, int32_t& out);

// Reads `path`, applies `edit` to it and saves it (see load and save). A file that exists but
// cannot be read is not replaced (its other sections would be lost). On failure the outcome
// carries `failMessage` and, as its detail, the file name and the system's reason.
Outcome EditIniFile(const std::string& path, const std::function<void(IniFile&)>& edit,
                    std::string_view failMessage);

}  // namespace kes
