// The viewer's side of text recognition: the recognizer runs in its own process ("kestrune ocr
// --serve", ocr/ocrprotocol.h), so that no OCR library or model ever lives in the tray process.
// The process is started on first use (its models load while the user still picks a region),
// answers the next region at once while it runs, and ends by itself after a few idle minutes.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

#include "ocr/ocrprotocol.h"

class QProcess;

namespace kes {

class OcrClient : public QObject {
    Q_OBJECT
  public:
    using Done = std::function<void(const OcrReply& reply)>;

    // `program` is the kestrune executable; empty: the one found beside the viewer (the build
    // tree) or in the installed layout, else "kestrune" on the PATH.
    explicit OcrClient(QString program = {}, QObject* parent = nullptr);
    ~OcrClient() override;

    // Starts the recognizer process unless it runs.
    void Start();
    // Sends `image` (as PNG) and calls `done` with the reply, from the message loop. When the
    // process cannot start or ends first, the reply is unusable with the reason.
    void Recognize(const QImage& image, Done done);
    bool running() const;

    static QString FindProgram();

  private:
    void readReplies();
    void failAll(const QString& why);

    QString program_;
    QProcess* process_ = nullptr;
    OcrFrameReader reader_;
    std::deque<Done> pending_;
};

}  // namespace kes
