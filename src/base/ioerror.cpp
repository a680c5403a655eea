#include "base/ioerror.h"

#include <cstring>

namespace kes {

IoError::IoError(const std::string& fileName, const std::string& what)
    : std::runtime_error(what + ": " + fileName), fileName_(fileName), reason_(what) {}

std::string ErrnoText(int err) {
    return std::strerror(err);
}

}  // namespace kes
