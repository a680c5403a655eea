#include "gui/writepad.h"

#include <QFont>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/dictchars.h"
#include "app/inifile.h"
#include "app/registry.h"
#include "base/bytefile.h"
#include "gui/guarded.h"

namespace kes {

namespace {

inline const char* const kWritePadSection = "WritePad";
// Points of one stroke kept while drawing (the recognizer thins them further).
constexpr std::size_t kMaxCanvasPoints = 4096;

bool Logging() {
    static const bool on = [] {
        const char* v = std::getenv("KESTRUNE_WRITE_LOG");
        return v != nullptr && *v != '\0' && std::string(v) != "0";
    }();
    return on;
}

void Log(const QString& text) {
    if (!Logging()) return;
    std::fprintf(stderr, "Kestrune: write pad: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The canvas

WriteCanvas::WriteCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("canvas"));
    setMinimumSize(120, 120);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void WriteCanvas::undoStroke() {
    if (strokes_.empty()) return;
    strokes_.pop_back();
    drawing_ = false;
    update();
    Q_EMIT drawingChanged();
}

void WriteCanvas::clear() {
    if (strokes_.empty()) return;
    strokes_.clear();
    drawing_ = false;
    update();
    Q_EMIT drawingChanged();
}

void WriteCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    // A light cross through the middle, as on writing paper.
    p.setPen(QPen(palette().mid().color(), 1, Qt::DashLine));
    p.drawLine(width() / 2, 0, width() / 2, height());
    p.drawLine(0, height() / 2, width(), height() / 2);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(palette().text().color(), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (const HandStroke& s : strokes_) {
        if (s.size() == 1) {
            p.drawPoint(QPointF(s[0].x, s[0].y));
            continue;
        }
        QPainterPath path(QPointF(s[0].x, s[0].y));
        for (std::size_t i = 1; i < s.size(); ++i)
            path.lineTo(s[i].x, s[i].y);
        p.drawPath(path);
    }
}

void WriteCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || strokes_.size() >= kMaxHandStrokes) return;
    const QPointF at = event->position();
    strokes_.push_back({{at.x(), at.y()}});
    drawing_ = true;
    update();
}

void WriteCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!drawing_ || strokes_.empty() || !(event->buttons() & Qt::LeftButton)) return;
    HandStroke& s = strokes_.back();
    const QPointF at = event->position();
    if (s.size() >= kMaxCanvasPoints || (s.back().x == at.x() && s.back().y == at.y())) return;
    s.push_back({at.x(), at.y()});
    update();
}

void WriteCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !drawing_) return;
    drawing_ = false;
    Q_EMIT drawingChanged();
}

// ---------------------------------------------------------------------------------------
// The pad

TfmWritePad::TfmWritePad(Setup setup, QWidget* parent)
    : QWidget(parent, Qt::Tool), setup_(std::move(setup)) {
    setObjectName(QStringLiteral("fmWritePad"));
    setWindowTitle(QStringLiteral("Write"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);
    canvas_ = new WriteCanvas(this);
    outer->addWidget(canvas_, 1);
    grid_ = new QGridLayout;
    grid_->setSpacing(2);
    outer->addLayout(grid_);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("lblNotice"));
    notice_->setWordWrap(true);
    notice_->hide();
    outer->addWidget(notice_);
    auto* buttons = new QHBoxLayout;
    btnUndo_ = new QPushButton(QStringLiteral("&Undo stroke"), this);
    btnUndo_->setObjectName(QStringLiteral("btnUndo"));
    btnClear_ = new QPushButton(QStringLiteral("&Clear"), this);
    btnClear_->setObjectName(QStringLiteral("btnClear"));
    btnClose_ = new QPushButton(QStringLiteral("Close"), this);
    btnClose_->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* b : {btnUndo_, btnClear_, btnClose_}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
        buttons->addWidget(b);
    }
    outer->addLayout(buttons);
    connect(btnUndo_, &QPushButton::clicked, canvas_, &WriteCanvas::undoStroke);
    connect(btnClear_, &QPushButton::clicked, canvas_, &WriteCanvas::clear);
    connect(btnClose_, &QPushButton::clicked, this, &QWidget::close);
    connect(canvas_, &WriteCanvas::drawingChanged, this,
            [this] { RunGuardedAction(this, "The recognition", [this] { Recognize(); }); });

    releaseTimer_ = new QTimer(this);
    releaseTimer_->setSingleShot(true);
    connect(releaseTimer_, &QTimer::timeout, this, [this] { Release(); });
    resize(300, 420);
    ShowCandidates({});
}

TfmWritePad::~TfmWritePad() = default;

std::vector<QPushButton*> TfmWritePad::candidateButtons() const {
    return candidates_;
}

QString TfmWritePad::notice() const {
    return notice_->isHidden() ? QString() : notice_->text();
}

void TfmWritePad::showEvent(QShowEvent* event) {
    releaseTimer_->stop();
    if (!placed_) {
        placed_ = true;
        LoadPlacement();
    }
    QWidget::showEvent(event);
    if (!recognizer_) {
        Outcome opened;
        recognizer_ = HandRecognizer::Open(setup_.modelPath, opened);
        if (recognizer_) {
            Log(QStringLiteral("model loaded"));
            notice_->hide();
            if (!canvas_->strokes().empty()) Recognize();
        } else {
            notice_->setText(FromUtf8(opened.message));
            notice_->show();
            Log(FromUtf8(opened.message));
        }
    }
    canvas_->setFocus();
}

void TfmWritePad::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (isVisible()) return;
    SavePlacement();
    const int delay = setup_.releaseDelayMs ? setup_.releaseDelayMs() : 0;
    if (recognizer_ && delay > 0) releaseTimer_->start(delay);
}

void TfmWritePad::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        close();
    } else if (event->matches(QKeySequence::Undo)) {
        canvas_->undoStroke();
    } else if (key == Qt::Key_Delete) {
        canvas_->clear();
    } else if (key >= Qt::Key_0 && key <= Qt::Key_9 && event->modifiers() == Qt::NoModifier) {
        // 1..9 and 0 choose the first ten characters (traditional forms are clicked).
        const int n = key == Qt::Key_0 ? 10 : key - Qt::Key_0;
        int seen = 0;
        for (QPushButton* b : candidates_) {
            if (b->property("traditional").toBool()) continue;
            if (++seen == n) {
                b->click();
                break;
            }
        }
    } else {
        QWidget::keyPressEvent(event);
    }
}

void TfmWritePad::Recognize() {
    const HandStrokes& strokes = canvas_->strokes();
    if (strokes.size() >= kMaxHandStrokes) {
        notice_->setText(QStringLiteral("At most %1 strokes: undo one or clear.")
                             .arg(static_cast<int>(kMaxHandStrokes)));
        notice_->show();
    } else if (recognizer_) {
        notice_->hide();
    }
    if (!recognizer_ || strokes.empty()) {
        ShowCandidates({});
        Log(QStringLiteral("%1 strokes, no candidates").arg(strokes.size()));
        return;
    }
    HandOptions options;
    std::unique_ptr<DictionaryChars> known;
    if (setup_.registry && !setup_.registry->Dicts.empty()) {
        known = std::make_unique<DictionaryChars>(*setup_.registry,
                                                  setup_.searchBoth ? setup_.searchBoth() : true);
        options.inDictionary = [&known](char32_t ch) { return known->Has(ch); };
    }
    const HandResult r = recognizer_->Recognize(strokes, options);
    ShowCandidates(r.candidates);
    if (Logging()) {
        QStringList shown;
        for (const HandCandidate& c : r.candidates)
            shown << FromUtf8(c.text) + QString::fromStdU16String(c.traditional);
        Log(QStringLiteral("%1 strokes: %2").arg(strokes.size()).arg(shown.join(' ')));
    }
}

void TfmWritePad::ShowCandidates(const std::vector<HandCandidate>& candidates) {
    // A button may be the one whose click led here: it goes once its signal has returned.
    for (QPushButton* b : cells_) {
        b->hide();
        b->deleteLater();
    }
    cells_.clear();
    candidates_.clear();
    while (QLayoutItem* item = grid_->takeAt(0))
        delete item;  // a cell's layout (its buttons are not its children)
    QFont big = font();
    big.setPointSize(std::max(big.pointSize(), 9) * 2);
    QFont small = font();
    small.setPointSize(std::max(small.pointSize(), 9) * 4 / 3);
    // Ten cells in two rows of five: the character, then its traditional forms, smaller.
    for (std::size_t i = 0; i < 10; ++i) {
        auto* cell = new QHBoxLayout;
        cell->setSpacing(0);
        grid_->addLayout(cell, static_cast<int>(i / 5), static_cast<int>(i % 5));
        if (i >= candidates.size()) {
            // An empty cell keeps the pad's height while nothing is drawn.
            auto* b = new QPushButton(this);
            b->setFont(big);
            b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            b->setFlat(true);
            b->setEnabled(false);
            b->setFocusPolicy(Qt::NoFocus);
            cell->addWidget(b);
            cells_.push_back(b);
            continue;
        }
        const HandCandidate& c = candidates[i];
        auto add = [&](const QString& ch, bool traditional) {
            auto* b = new QPushButton(ch, this);
            b->setFont(traditional ? small : big);
            // The cells share the pad's width; the buttons never widen it.
            b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            b->setMinimumWidth(16);
            b->setFocusPolicy(Qt::NoFocus);
            b->setAutoDefault(false);
            b->setProperty("traditional", traditional);
            if (traditional)
                b->setToolTip(QStringLiteral("Traditional form of %1").arg(FromUtf8(c.text)));
            else if (!c.inDictionary)
                b->setToolTip(QStringLiteral("In no enabled dictionary"));
            connect(b, &QPushButton::clicked, this, [this, ch] { Choose(ch); });
            cell->addWidget(b);
            cells_.push_back(b);
            candidates_.push_back(b);
        };
        add(FromUtf8(c.text), false);
        for (char16_t t : c.traditional)
            add(QString(QChar(t)), true);
    }
}

void TfmWritePad::Choose(const QString& character) {
    Q_EMIT chosen(character);
    if (Logging()) {
        // What the owner made of it: its input field and the words its tree lists.
        QString input;
        int words = 0;
        if (QWidget* owner = parentWidget()) {
            if (auto* field = owner->findChild<QLineEdit*>(QStringLiteral("edtInp")))
                input = field->text();
            if (auto* tree = owner->findChild<QTreeWidget*>(QStringLiteral("tvMain")))
                for (int i = 0; i < tree->topLevelItemCount(); ++i)
                    words += tree->topLevelItem(i)->childCount();
        }
        Log(QStringLiteral("chose %1; input %2, %3 words listed").arg(character, input).arg(words));
    }
    // The next character starts on a clean pad.
    canvas_->clear();
}

void TfmWritePad::LoadPlacement() {
    IniFile ini;
    if (setup_.iniPath.empty() || !ini.load(setup_.iniPath) || !ini.hasSection(kWritePadSection))
        return;
    QRect r(ini.readInteger(kWritePadSection, "X", x()), ini.readInteger(kWritePadSection, "Y", y()),
            ini.readInteger(kWritePadSection, "DX", width()),
            ini.readInteger(kWritePadSection, "DY", height()));
    r.setWidth(std::max(r.width(), minimumSizeHint().width()));
    r.setHeight(std::max(r.height(), minimumSizeHint().height()));
    // Kept on the screen it was on (or the primary one), whole.
    const QScreen* screen = QGuiApplication::screenAt(r.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect avail = screen->availableGeometry();
        r.setWidth(std::min(r.width(), avail.width()));
        r.setHeight(std::min(r.height(), avail.height()));
        r.moveLeft(std::clamp(r.left(), avail.left(), avail.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), avail.top(), avail.bottom() - r.height() + 1));
    }
    resize(r.size());
    move(r.topLeft());
}

void TfmWritePad::SavePlacement() {
    if (setup_.iniPath.empty()) return;
    IniFile ini;
    if (!ini.load(setup_.iniPath)) return;  // unreadable: its other sections would be lost
    const QRect g = geometry();
    const QPoint at = pos();
    ini.writeInteger(kWritePadSection, "X", at.x());
    ini.writeInteger(kWritePadSection, "Y", at.y());
    ini.writeInteger(kWritePadSection, "DX", g.width());
    ini.writeInteger(kWritePadSection, "DY", g.height());
    try {
        ini.save(setup_.iniPath);
    } catch (const IoError& e) {
        Log(QStringLiteral("placement not saved: %1").arg(QString::fromUtf8(e.what())));
    }
}

void TfmWritePad::Release() {
    if (isVisible() || !recognizer_) return;
    recognizer_.reset();
    Log(QStringLiteral("model released"));
}

}  // namespace kes
