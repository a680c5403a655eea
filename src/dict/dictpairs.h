// A dictionary is a pair of files, "<stem>.ced" and its index "<stem>.idx", that are
// replaced together (CommitPair, base/replacefile.h) so that a search never meets a data file
// beside the index of other data. This module finishes what such a replacement left behind
// when it was killed half-way.
#pragma once

#include <string>

namespace kes {

// Finishes what interrupted replacements of dictionaries ("<stem>.ced" together with
// "<stem>.idx", see CommitPair) left in `folder`: each ends as the complete old or the
// complete new pair, and its leftover files go. Dictionary files that are symbolic links
// are followed to their real folders. Returns how many replacements were finished.
int FinishDictionaryReplacements(const std::string& folder);

}  // namespace kes
