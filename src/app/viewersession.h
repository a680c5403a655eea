// What the main window shows, kept across a restart of the viewer: the viewer that has been
// hidden long enough to release its page ends its browser engine by starting itself afresh
// (an engine cannot be unloaded from a process), and the new process takes this state over,
// so the user finds the same input, tree, history, page and scroll position at the next show.
//
// Contract:
// - EncodeViewerSession / DecodeViewerSession round-trip every field exactly: text is kept as
//   UTF-16 code units (lone surrogates included) and the page body as raw bytes.
// - Decoding a truncated, altered or foreign buffer gives nothing and a reason; it never
//   throws and never gives half a session.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/queryflow.h"

namespace kes {

struct ViewerSession {
    std::u16string Input;  // the input field
    QueryHistory History;
    // The words listed under each dictionary item of the tree, by dictionary number.
    struct DictItem {
        int Number = 0;
        bool Expanded = false;
        std::vector<std::u16string> Words;

        bool operator==(const DictItem&) const = default;
    };
    std::vector<DictItem> Tree;
    // The tree's current item: dictionary number (0: none) and word row (-1: the dictionary
    // item itself).
    int CurrentDict = 0;
    int CurrentWord = -1;
    std::string PageBody;  // UTF-8 HTML, as the page holds it
    double ScrollX = 0;
    double ScrollY = 0;

    bool operator==(const ViewerSession&) const = default;
};

// The session as bytes ("KESTRUNE-SESSION 1", a JSON description, then the page body).
std::string EncodeViewerSession(const ViewerSession& session);

// The session of bytes made by EncodeViewerSession; nothing (with `error` set) otherwise.
std::optional<ViewerSession> DecodeViewerSession(std::string_view bytes, std::string& error);

}  // namespace kes
