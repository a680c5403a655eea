#include "cli/cli_instance.h"

namespace kes {

namespace {

// How long a running viewer may take to accept a request (it answers from its message loop,
// which may be busy with a search or, right after its start, with the start-up).
constexpr int kReplyTimeoutMs = 20000;

}  // namespace

InstanceMessage InstanceRequestOf(InstanceCommand command, const std::vector<std::string>& words,
                                  std::istream& in) {
    InstanceMessage m;
    m.command = command;
    if (command == InstanceCommand::Popup && words.size() == 1 && words[0] == "--screen") {
        m.command = InstanceCommand::Screen;
        return m;
    }
    if (command == InstanceCommand::Popup && words.size() == 1 && words[0] == "-") {
        std::string text(kMaxInstanceQueryBytes + 1, '\0');
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
        text.resize(static_cast<std::size_t>(in.gcount()));
        m.query = CutUtf8(std::move(text), kMaxInstanceQueryBytes);
        return m;
    }
    for (const std::string& w : words) {
        if (!m.query.empty()) m.query += ' ';
        m.query += w;
    }
    m.query = CutUtf8(std::move(m.query), kMaxInstanceQueryBytes);
    return m;
}

int ReachViewer(const std::string& socketPath, const std::string& pathError,
                const InstanceMessage& request, const std::optional<InstanceMessage>& startWith,
                const ViewerStarter& startViewer, std::ostream& err) {
    if (socketPath.empty()) {
        err << "Kestrune: " << pathError << "\n" << std::flush;
        return startViewer(startWith);
    }
    const SendResult sent = SendToViewer(socketPath, request, kReplyTimeoutMs);
    switch (sent.status) {
        case SendStatus::Delivered:
            return 0;
        case SendStatus::NoViewer:
            return startViewer(startWith);
        case SendStatus::Failed:
            break;
    }
    err << "Kestrune: " << sent.message << "\n" << std::flush;
    return 1;
}

}  // namespace kes
