#include "tools/userdict.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/bytefile.h"
#include "base/ioerror.h"
#include "base/lines.h"
#include "base/replacefile.h"
#include "base/text.h"

namespace kes {

namespace {

const char kNotLoaded[] = "User dictionary was not loaded!";
const char kCantOpenDict[] = "ERROR: Can't open dictionary file userdict.txt!";
const char kCantOpenForAdd[] = "ERROR: Can't open userdict.txt!";
const char kCantWrite[] = "ERROR: Can't write changes to user dictionary!";
const char kCantCreate[] = "ERROR: Can't create userdict.txt!";

void Tell(const std::function<void(const std::string&)>& f, const std::string& text) {
    if (f) f(text);
}

// A failure outcome with `message` for the exception being handled.
Outcome Failed(const char* message) {
    Outcome o;
    o.message = message;
    o.detail = CurrentExceptionDetail();
    return o;
}

// Shows an outcome's message (when it has one), a failure's with the file and the reason,
// and passes the outcome on.
Outcome Told(const UserdictCallbacks& cb, Outcome o) {
    if (!o.message.empty()) Tell(cb.showMessage, MessageWithDetail(o));
    return o;
}

}  // namespace

void Userdict::LoadUserdict(const UserdictCallbacks& cb) {
    WordCount = 0;
    Words.clear();
    WordPos.clear();
    LimitReached = false;
    Tell(cb.setStatus, "Start reading file userdict.txt");
    ByteFile f;
    try {
        f.open(path_, OpenMode::ReadWrite);
    } catch (const IoError& e) {
        // The box names the file and the system's reason on a line of its own.
        Tell(cb.showMessage, std::string(kCantOpenDict) + "\n" + e.what());
        Loaded = false;
        Tell(cb.setStatus, kCantOpenDict);
        return;
    }
    try {
        while (!f.eof()) {
            int64_t p = f.position();
            std::u16string line = ReadUcs2Line(f);
            if (!line.empty()) {
                Words.push_back(UserdictKey(line));
                WordPos.push_back(p);
                ++WordCount;
                Tell(cb.setStatus, "Readed: " + std::to_string(WordCount) + " records");
                if (cb.processEvents) cb.processEvents();
            }
            if (WordCount >= kUserdictMaxRecords) {
                LimitReached = !f.eof();
                break;
            }
        }
        f.close();
        Loaded = true;
    } catch (const IoError& e) {
        // The table keeps the records read so far; Loaded keeps its previous value.
        Tell(cb.showError, e.what());
    }
}

int Userdict::FindWord(std::u16string_view word) const {
    for (int i = 0; i < WordCount; ++i)
        if (Words[static_cast<std::size_t>(i)] == word) return i;
    return -1;
}

void Userdict::Query(EntryForm& form, const UserdictCallbacks& cb) const {
    if (!Loaded) {
        Tell(cb.showMessage, kNotLoaded);
        return;
    }
    form.Word = Trim(form.Word);
    if (cb.showFields) cb.showFields(form);
    if (form.Word.empty()) {
        Tell(cb.showMessage, "ERROR: You must enter a word!");
        return;
    }
    int i = FindWord(form.Word);
    if (i < 0) {
        form.Pin.clear();
        form.Memo.clear();
        return;
    }
    try {
        ByteFile f(path_, OpenMode::ReadWrite);
        f.seek(WordPos[static_cast<std::size_t>(i)]);
        std::u16string line = ReadUcs2Line(f);
        if (!line.empty()) {
            LoadEntryForm(form, line);
        } else {
            form.Pin.clear();
            form.Memo.clear();
        }
        f.close();
    } catch (const IoError&) {
        // The fields keep what was set before the error.
    }
}

Outcome Userdict::AddOrChange(EntryForm& form, const UserdictCallbacks& cb) {
    Outcome declined;
    declined.cancelled = true;
    // A missing file can be made now; one that exists but could not be opened stays alone.
    std::error_code ec;
    const bool missing =
        !Loaded && !std::filesystem::exists(std::filesystem::symlink_status(path_, ec));
    if (!Loaded && !missing) {
        Outcome o;
        o.message = kNotLoaded;
        return Told(cb, o);
    }
    std::u16string line;
    const bool complete = CollectEntryForm(form, &line);
    if (cb.showFields) cb.showFields(form);
    if (!complete) {
        Outcome o;
        o.message = "ERROR: You must enter something in all fields (except image path)!";
        return Told(cb, o);
    }
    // The key of a line ends at its first "[", and "/" separates the senses: such a word could
    // never be found again.
    if (form.Word.find_first_of(u"[]/") != std::u16string::npos) {
        Outcome o;
        o.message = kWordWithMarksMessage;
        return Told(cb, o);
    }
    if (missing) {
        if (!cb.askYesNo || !cb.askYesNo(std::string(kCreateUserdictQuestion))) return declined;
        try {
            ReplaceFileContents(path_, [](ByteFile&) {});
        } catch (...) {
            return Told(cb, Failed(kCantCreate));
        }
        LoadUserdict(cb);
        if (!Loaded) return declined;  // the load said why
    }
    int i = FindWord(form.Word);
    Outcome written;
    if (i >= 0) {
        if (!cb.askYesNo ||
            !cb.askYesNo("WARNING: This word already present in user dictionary, change?"))
            return declined;
        written = ChangeRecord(i, line);
    } else {
        written = AppendRecord(line);
    }
    if (!written.ok) return Told(cb, written);
    LoadUserdict(cb);
    written.message = "Word added/changed";
    return Told(cb, written);
}

Outcome Userdict::ChangeRecord(int index, std::u16string_view line) {
    const auto k = static_cast<std::size_t>(index);
    try {
        ByteFile src(path_, OpenMode::Read);
        const int64_t size = src.size();
        const int64_t start = WordPos[k];
        if (start < 0 || start >= size) throw IoError(path_, "Record offset beyond end of file");
        // The record must still be where the last load found it.
        src.seek(start);
        std::u16string old = ReadUcs2Line(src);
        if (old.empty() || UserdictKey(old) != Words[k])
            throw IoError(path_, "File changed since it was loaded");
        int64_t end;
        if (index < WordCount - 1) {
            // The record's line and any empty lines up to the next record.
            end = WordPos[k + 1];
        } else if (LimitReached) {
            // Loading stopped here: only this line is the record's; later lines stay.
            end = src.position();
        } else {
            end = size;
        }
        if (end < start || end > size) throw IoError(path_, "Record offset beyond end of file");
        ReplaceFileContents(path_, [&](ByteFile& out) {
            CopyBytes(src, out, 0, start);
            WriteUcs2Line(out, line);
            CopyBytes(src, out, end, size);
        });
    } catch (...) {
        return Failed(kCantWrite);
    }
    Outcome o;
    o.ok = true;
    return o;
}

UserdictAppend PlanUserdictAppend(int64_t size, uint16_t last) {
    UserdictAppend plan;
    if (size == 0) return plan;
    if (size == 2 && last == 0xFEFF) return plan;  // a lone byte-order mark is replaced by the line
    plan.keep = size;
    plan.padByte = size % 2 != 0;
    plan.addLineEnd = last != 0x000A;
    return plan;
}

Outcome Userdict::AppendRecord(std::u16string_view line) {
    ByteFile src;
    UserdictAppend plan;
    try {
        src.open(path_, OpenMode::Read);
        const int64_t size = src.size();
        uint16_t last = 0;
        if (size % 2 != 0) {
            src.seek(size - 1);
            last = src.readU8();
        } else if (size > 0) {
            src.seek(size - 2);
            last = src.readU16();
        }
        plan = PlanUserdictAppend(size, last);
    } catch (...) {
        return Failed(kCantOpenForAdd);
    }
    try {
        ReplaceFileContents(path_, [&](ByteFile& out) {
            CopyBytes(src, out, 0, plan.keep);
            if (plan.padByte) out.write("\0", 1);
            if (plan.addLineEnd) out.write("\r\0\n\0", 4);
            WriteUcs2Line(out, line);
        });
    } catch (...) {
        return Failed(kCantWrite);
    }
    Outcome o;
    o.ok = true;
    return o;
}

}  // namespace kes
