#include "dict/dictpairs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/ioerror.h"
#include "base/paths.h"
#include "base/replacefile.h"

namespace kes {

int FinishDictionaryReplacements(const std::string& folder) {
    std::vector<std::string> stems;
    auto addStem = [&stems](const std::string& name) {
        const std::string ext = name.size() > 4 ? name.substr(name.size() - 4) : std::string();
        if (ext == ".ced" || ext == ".idx") stems.push_back(name.substr(0, name.size() - 4));
    };
    // One reading of the folder. A linked dictionary keeps its leftovers beside the real
    // files (its link may dangle while the real file has stepped aside).
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        names.push_back(it->path().filename().string());
        std::error_code linkError;  // an entry that went meanwhile ends nothing
        if (it->is_symlink(linkError)) addStem(names.back());
    }
    for (const std::string& name : PairLeftoverTargets(names))
        addStem(name);
    std::sort(stems.begin(), stems.end());
    stems.erase(std::unique(stems.begin(), stems.end()), stems.end());
    int finished = 0;
    for (const std::string& stem : stems) {
        try {
            finished += FinishInterruptedPairs(JoinPath(folder, stem + ".ced"),
                                               JoinPath(folder, stem + ".idx"));
        } catch (const IoError&) {
            // An unreadable link: the pair is left for the next start.
        }
    }
    return finished;
}

}  // namespace kes
