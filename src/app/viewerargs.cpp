#include "app/viewerargs.h"

#include <charconv>

namespace kes {

namespace {

constexpr char kFolderOption[] = "--program-folder";
constexpr char kEntryOption[] = "--entry";
constexpr char kMessageOption[] = "--message";
constexpr char kShowOption[] = "--show";
constexpr char kPopupOption[] = "--popup";
constexpr char kScreenOption[] = "--screen";
constexpr char kResumeOption[] = "--resume";

// A descriptor number as written by ViewerArguments: -1 or 0..INT_MAX in decimal.
std::optional<int> Descriptor(const std::string& text) {
    int n = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc() || stop != end || n < -1) return std::nullopt;
    return n;
}

}  // namespace

std::vector<std::string> ViewerArguments(const std::string& programFolder,
                                         const std::string& entryPath,
                                         const std::vector<std::string>& entryArgs,
                                         const std::optional<InstanceMessage>& start,
                                         const std::optional<ViewerResume>& resume) {
    std::vector<std::string> args{kFolderOption, programFolder};
    if (!entryPath.empty()) {
        args.push_back(kEntryOption);
        args.push_back(entryPath);
    }
    if (resume) {
        args.emplace_back(kResumeOption);
        args.push_back(std::to_string(resume->sessionFd));
        args.push_back(std::to_string(resume->lockFd));
        args.push_back(std::to_string(resume->listenFd));
    }
    if (start) {
        args.emplace_back(start->command == InstanceCommand::Popup    ? kPopupOption
                          : start->command == InstanceCommand::Screen ? kScreenOption
                                                                      : kShowOption);
        args.push_back(start->query);
    }
    args.insert(args.end(), entryArgs.begin(), entryArgs.end());
    return args;
}

std::vector<std::string> MessageBoxArguments(const std::string& text) {
    return {kMessageOption, text};
}

ViewerRequest ParseViewerArguments(const std::vector<std::string>& args) {
    ViewerRequest r;
    if (args.size() < 2) return r;
    if (args[0] == kFolderOption && !args[1].empty()) {
        r.mode = ViewerMode::Viewer;
        r.programFolder = args[1];
        size_t next = 2;
        if (args.size() >= next + 2 && args[next] == kEntryOption) {
            r.entryPath = args[next + 1];
            next += 2;
        }
        if (args.size() >= next + 4 && args[next] == kResumeOption) {
            const std::optional<int> session = Descriptor(args[next + 1]);
            const std::optional<int> lock = Descriptor(args[next + 2]);
            const std::optional<int> listen = Descriptor(args[next + 3]);
            if (!session || *session < 0 || !lock || !listen) return ViewerRequest{};
            r.resume = ViewerResume{*session, *lock, *listen};
            next += 4;
        }
        if (args.size() >= next + 2 && (args[next] == kShowOption || args[next] == kPopupOption ||
                                         args[next] == kScreenOption)) {
            r.start = InstanceMessage{args[next] == kPopupOption    ? InstanceCommand::Popup
                                      : args[next] == kScreenOption ? InstanceCommand::Screen
                                                                    : InstanceCommand::Show,
                                      CutUtf8(args[next + 1], kMaxInstanceQueryBytes)};
            next += 2;
        }
        r.toolkitArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(next), args.end());
    } else if (args[0] == kMessageOption && args.size() == 2) {
        r.mode = ViewerMode::Message;
        r.message = args[1];
    }
    return r;
}

}  // namespace kes
