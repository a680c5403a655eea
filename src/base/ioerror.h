// The error of every file operation: what failed and the name of the file it failed on.
// The file layer throws it; commands catch it at their boundary and report it (Outcome).
#pragma once

#include <stdexcept>
#include <string>

namespace kes {

class IoError : public std::runtime_error {
  public:
    // what() is `what` + ": " + `fileName`.
    IoError(const std::string& fileName, const std::string& what);
    const std::string& fileName() const { return fileName_; }
    const std::string& reason() const { return reason_; }

  private:
    std::string fileName_;
    std::string reason_;
};

// The system's text for an errno value (strerror), for the reason of an IoError.
std::string ErrnoText(int err);

}  // namespace kes
