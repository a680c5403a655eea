#include "gui/ocrclient.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kes {

OcrClient::OcrClient(QString program, QObject* parent)
    : QObject(parent), program_(program.isEmpty() ? FindProgram() : std::move(program)) {}

OcrClient::~OcrClient() {
    if (process_) {
        process_->disconnect(this);
        process_->closeWriteChannel();  // it ends when its input closes
        if (!process_->waitForFinished(1000)) process_->kill();
    }
}

QString OcrClient::FindProgram() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/kestrune"), dir + QStringLiteral("/../../bin/kestrune")}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) return info.canonicalFilePath();
    }
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("kestrune"));
    return onPath.isEmpty() ? QStringLiteral("kestrune") : onPath;
}

bool OcrClient::running() const {
    return process_ && process_->state() != QProcess::NotRunning;
}

void OcrClient::Start() {
    if (running()) return;
    if (process_) process_->deleteLater();
    reader_.reset();
    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process_, &QProcess::readyReadStandardOutput, this, &OcrClient::readReplies);
    QProcess* p = process_;
    connect(process_, &QProcess::finished, this, [this, p](int code, QProcess::ExitStatus) {
        if (p != process_) return;
        failAll(QStringLiteral("the recognizer ended (exit code %1)").arg(code));
    });
    connect(process_, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError e) {
        if (p != process_ || e != QProcess::FailedToStart) return;
        failAll(QStringLiteral("cannot start the recognizer %1: %2").arg(program_, p->errorString()));
    });
    process_->start(program_, {QStringLiteral("ocr"), QStringLiteral("--serve")});
}

void OcrClient::Recognize(const QImage& image, Done done) {
    Start();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    pending_.push_back(std::move(done));
    process_->write(QByteArray::fromStdString(FrameOcrPayload(png.toStdString())));
}

void OcrClient::readReplies() {
    const QByteArray bytes = process_->readAllStandardOutput();
    std::size_t at = 0;
    while (at < static_cast<std::size_t>(bytes.size())) {
        at += reader_.feed(bytes.constData() + at, static_cast<std::size_t>(bytes.size()) - at);
        if (reader_.state() == OcrFrameReader::State::Invalid) {
            process_->kill();
            return;
        }
        if (reader_.state() != OcrFrameReader::State::Complete) break;
        std::optional<OcrReply> reply = DecodeOcrReply(reader_.payload());
        reader_.reset();
        if (pending_.empty()) continue;
        Done done = std::move(pending_.front());
        pending_.pop_front();
        if (!reply) {
            reply.emplace();
            reply->usable = false;
            reply->result.reason = "the recognizer's reply cannot be read";
        }
        done(*reply);
    }
}

void OcrClient::failAll(const QString& why) {
    std::deque<Done> pending;
    pending.swap(pending_);
    OcrReply reply;
    reply.usable = false;
    reply.result.reason = why.toStdString();
    for (Done& done : pending)
        done(reply);
}

}  // namespace kes
