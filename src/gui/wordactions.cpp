#include "gui/wordactions.h"

#include <sys/stat.h>

#include <QProcess>
#include <QWidget>

#include "app/speech.h"
#include "ui/dialogs.h"

namespace kes {

WordActions::WordActions(QWidget* window, const Registry& registry, std::string userdictPath)
    : QObject(window), window_(window), registry_(registry), userdict_(std::move(userdictPath)) {
    setObjectName(QStringLiteral("wordActions"));
    links_.IsMine = [this](const EntryFields& entry) { return mine_.Contains(entry); };
}

WordActions::~WordActions() {
    // A word still being spoken may end by itself; the process object goes with this one.
    if (speech_) speech_->disconnect(this);
}

namespace {

// The size (-1 when there is no file) and last-write time in nanoseconds of `path`.
void StatOf(const std::string& path, int64_t& size, int64_t& time) {
    struct stat st {};
    size = -1;
    time = 0;
    if (::stat(path.c_str(), &st) == 0) {
        size = st.st_size;
        time = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    }
}

}  // namespace

void WordActions::ReloadIfChanged() {
    int64_t size = 0;
    int64_t time = 0;
    StatOf(userdict_, size, time);
    if (size == readSize_ && time == readTime_) return;
    readSize_ = size;
    readTime_ = time;
    try {
        mine_.Load(userdict_);
    } catch (const IoError&) {
        mine_ = MyWordsIndex();  // a file that cannot be read marks nothing
    }
}

const EntryLinks* WordActions::PageLinks() {
    links_.Speech = !FindSpeechProgram().empty();
    ReloadIfChanged();
    return &links_;
}

bool WordActions::isSpeaking() const {
    return speech_ && speech_->state() != QProcess::NotRunning;
}

void WordActions::Say(const std::string& text) {
    const std::string program = FindSpeechProgram();
    if (program.empty()) {
        if (explained_++ == 0) ui::ShowMessage(QString::fromUtf8(kSpeechMissingMessage), QString(), window_);
        Q_EMIT told(QString::fromUtf8(kSpeechMissingMessage));
        return;
    }
    if (isSpeaking()) {
        // The word before is cut short: the click asks for this one now. The process object
        // goes once the process has ended (deleting a running one would wait for it).
        QProcess* old = speech_;
        old->disconnect(this);
        connect(old, &QProcess::finished, old, &QObject::deleteLater);
        old->kill();
    } else if (speech_) {
        speech_->deleteLater();
    }
    speech_ = new QProcess(this);
    speech_->setProcessChannelMode(QProcess::ForwardedChannels);
    speech_->setStandardInputFile(QProcess::nullDevice());
    lastSpeech_.clear();
    for (const std::string& a : SpeechArguments(text))
        lastSpeech_ << QString::fromStdString(a);
    QProcess* p = speech_;
    connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError e) {
        if (p != speech_ || e != QProcess::FailedToStart) return;
        Q_EMIT told(QStringLiteral("The speech program could not be started: ") + p->errorString());
    });
    connect(p, &QProcess::finished, this, [this, p](int code, QProcess::ExitStatus status) {
        if (p != speech_) return;
        if (status != QProcess::NormalExit || code != 0)
            Q_EMIT told(QStringLiteral("espeak-ng ended with code %1").arg(code));
    });
    p->start(QString::fromStdString(program), lastSpeech_);
}

Outcome WordActions::Add(std::size_t dict, int32_t offset, bool& added) {
    EntryFields entry;
    Outcome o = AddFoundEntry(registry_, dict, offset, userdict_, added, entry);
    if (!o.ok) {
        ui::ShowError(QString::fromStdString(MessageWithDetail(o)), QString(), window_);
        return o;
    }
    // The file as it is now holds the word: the marks need not read it again, unless it had
    // changed before.
    int64_t before = 0;
    int64_t time = 0;
    StatOf(userdict_, before, time);
    if (added) {
        mine_.Insert(entry);
        readSize_ = before;
        readTime_ = time;
    } else {
        ReloadIfChanged();
    }
    Q_EMIT told(QString::fromStdString(o.message));
    return o;
}

std::optional<std::string> WordActions::HandleLink(const std::string& href,
                                                   const std::string& page) {
    const EntryLink link = EntryLinkOf(href);
    switch (link.What) {
        case EntryLink::Kind::Say:
            Say(link.Text);
            return std::nullopt;
        case EntryLink::Kind::Add: {
            bool added = false;
            if (!Add(link.Dict, link.Offset, added).ok) return std::nullopt;
            return MarkKept(page, link.Dict, link.Offset);
        }
        case EntryLink::Kind::None:
            break;
    }
    return std::nullopt;
}

}  // namespace kes
