// The one result shape of operations that can fail where a user action starts (a command, a
// window action), and the one way to stop a long operation.
#pragma once

#include <functional>
#include <string>

namespace kes {

struct Outcome {
    bool ok = false;
    // The operation stopped early because its cancel poll asked it to. `ok` still says
    // whether what it left behind is complete and in place.
    bool cancelled = false;
    std::string message;  // the exact text for the user (UTF-8)
    std::string detail;   // the underlying reason (file name and system error); may be empty
};

// Long operations call this between steps (lines, records, rows) and stop as soon as it
// returns true. An empty poll never cancels.
using CancelPoll = std::function<bool()>;

inline bool CancelRequested(const CancelPoll& poll) {
    return poll && poll();
}

// The detail of the exception being handled; call it only inside a catch block. Names the
// file and the system's reason for IoError, says so for memory exhaustion.
std::string CurrentExceptionDetail();

// The message, with the detail on a line of its own when there is one.
std::string MessageWithDetail(const Outcome& outcome);

}  // namespace kes
