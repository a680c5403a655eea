#include "app/viewerargs.h"

namespace kes {

namespace {

constexpr char kFolderOption[] = "--program-folder";
constexpr char kEntryOption[] = "--entry";
constexpr char kMessageOption[] = "--message";
constexpr char kShowOption[] = "--show";
constexpr char kPopupOption[] = "--popup";

}  // namespace

std::vector<std::string> ViewerArguments(const std::string& programFolder,
                                         const std::string& entryPath,
                                         const std::vector<std::string>& entryArgs,
                                         const std::optional<InstanceMessage>& start) {
    std::vector<std::string> args{kFolderOption, programFolder};
    if (!entryPath.empty()) {
        args.push_back(kEntryOption);
        args.push_back(entryPath);
    }
    if (start) {
        args.emplace_back(start->command == InstanceCommand::Popup ? kPopupOption : kShowOption);
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
        if (args.size() >= next + 2 && (args[next] == kShowOption || args[next] == kPopupOption)) {
            r.start = InstanceMessage{
                args[next] == kPopupOption ? InstanceCommand::Popup : InstanceCommand::Show,
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
