// The viewer's side of the links beside each entry's pinyin (app/entrylinks.h), on the main
// window's page and in the popup: the speaker runs espeak-ng in a process of its own (the event
// loop never waits for it; a new click stops the word still being spoken), "Add to my words"
// keeps the entry in userdict.txt (tools/mywords.h) and marks it on the page, and the marks "in
// my words" come from the keys of userdict.txt, read again whenever the file has changed.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "app/entrylinks.h"
#include "app/registry.h"
#include "tools/mywords.h"

class QProcess;
class QWidget;

namespace kes {

class WordActions : public QObject {
    Q_OBJECT
  public:
    // Keeps words in `userdictPath`; entries are read from `registry` (which must outlive this).
    WordActions(QWidget* window, const Registry& registry, std::string userdictPath);
    ~WordActions() override;

    // The links for the next page: espeak-ng looked for on PATH, the marks of my words as the
    // file now holds them (a file that cannot be read marks nothing).
    const EntryLinks* PageLinks();

    // A clicked link of a page whose body is `page`. Speaks or adds; after an add (or when the
    // word was kept already) returns the page with the entry marked "in my words". Nothing for
    // a link that is none of these or that changes nothing on the page.
    std::optional<std::string> HandleLink(const std::string& href, const std::string& page);

    // Speaks `text` (the voice's text); without espeak-ng explains once what to install.
    void Say(const std::string& text);
    // Keeps the entry; the outcome as AddFoundEntry gives it. A failure is shown in a box.
    Outcome Add(std::size_t dict, int32_t offset, bool& added);

    const std::string& userdictPath() const { return userdict_; }
    // The arguments of the last speech started (for tests), and how often the missing program
    // was explained.
    const QStringList& lastSpeech() const { return lastSpeech_; }
    int explainedMissing() const { return explained_; }
    bool isSpeaking() const;

  Q_SIGNALS:
    // What an action did, for the status bar ("Added to my words: 中国").
    void told(const QString& text);

  private:
    void ReloadIfChanged();

    QWidget* window_;
    const Registry& registry_;
    std::string userdict_;
    EntryLinks links_;
    MyWordsIndex mine_;
    // The file as last read: its size and last-write time in nanoseconds (-1: not there).
    int64_t readSize_ = -2;
    int64_t readTime_ = 0;
    QProcess* speech_ = nullptr;
    QStringList lastSpeech_;
    int explained_ = 0;
};

}  // namespace kes
