#include "base/result.h"

#include <exception>
#include <new>

namespace kes {

std::string CurrentExceptionDetail() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return "Not enough memory";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

std::string MessageWithDetail(const Outcome& outcome) {
    if (outcome.detail.empty()) return outcome.message;
    return outcome.message + "\n" + outcome.detail;
}

}  // namespace kes
