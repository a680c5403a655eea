#include "app/viewerargs.h"

namespace kes {

namespace {

constexpr char kFolderOption[] = "--program-folder";
constexpr char kEntryOption[] = "--entry";
constexpr char kMessageOption[] = "--message";

}  // namespace

std::vector<std::string> ViewerArguments(const std::string& programFolder,
                                         const std::string& entryPath,
                                         const std::vector<std::string>& entryArgs) {
    std::vector<std::string> args{kFolderOption, programFolder};
    if (!entryPath.empty()) {
        args.push_back(kEntryOption);
        args.push_back(entryPath);
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
        if (args.size() >= 4 && args[2] == kEntryOption) {
            r.entryPath = args[3];
            next = 4;
        }
        r.toolkitArgs.assign(args.begin() + next, args.end());
    } else if (args[0] == kMessageOption && args.size() == 2) {
        r.mode = ViewerMode::Message;
        r.message = args[1];
    }
    return r;
}

}  // namespace kes
