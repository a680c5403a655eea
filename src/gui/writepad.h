// The handwriting pad: a small window where the user draws one character with the mouse, a pen
// or a finger. After each stroke the ten likeliest characters appear (each with its
// traditional forms beside it); choosing one hands it to the main window, which appends it to
// the input field and searches. The recognizer's model is loaded when the pad is first shown
// and released once the pad has been closed for the release time; the pad's size and place
// are kept in setup.ini, section "WritePad".
#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hand/recognizer.h"

class QGridLayout;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace kes {

struct Registry;

// The drawing surface: strokes in widget coordinates (y down), drawn as they come.
class WriteCanvas : public QWidget {
    Q_OBJECT
  public:
    explicit WriteCanvas(QWidget* parent = nullptr);
    const HandStrokes& strokes() const { return strokes_; }
    void undoStroke();
    void clear();
    QSize sizeHint() const override { return {260, 260}; }

  Q_SIGNALS:
    // A stroke ended (or was taken back, or all were cleared): the drawing changed.
    void drawingChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    HandStrokes strokes_;
    bool drawing_ = false;
};

class TfmWritePad : public QWidget {
    Q_OBJECT
  public:
    struct Setup {
        std::string iniPath;     // setup.ini, for the section "WritePad"
        std::string modelPath = kHandModelPath;
        const Registry* registry = nullptr;   // candidates no enabled dictionary holds go last
        std::function<bool()> searchBoth;     // "Search both chinese forms", read each time
        std::function<int()> releaseDelayMs;  // 0: the model is kept
    };
    TfmWritePad(Setup setup, QWidget* parent = nullptr);
    ~TfmWritePad() override;

    // The candidate buttons in order (the simplified character first, then its traditional
    // forms), for the tests.
    std::vector<QPushButton*> candidateButtons() const;
    WriteCanvas* canvas() const { return canvas_; }
    bool modelLoaded() const { return recognizer_ != nullptr; }
    // The message shown instead of candidates (the model missing, too many strokes), or empty.
    QString notice() const;

  Q_SIGNALS:
    // The user chose a character (one code point, UTF-16).
    void chosen(const QString& character);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Recognize();
    void ShowCandidates(const std::vector<HandCandidate>& candidates);
    void Choose(const QString& character);
    void LoadPlacement();
    void SavePlacement();
    void Release();

    Setup setup_;
    WriteCanvas* canvas_ = nullptr;
    QGridLayout* grid_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* btnUndo_ = nullptr;
    QPushButton* btnClear_ = nullptr;
    QPushButton* btnClose_ = nullptr;
    std::vector<QPushButton*> candidates_;  // the characters' buttons
    std::vector<QPushButton*> cells_;       // every button of the ten cells
    std::unique_ptr<HandRecognizer> recognizer_;
    QTimer* releaseTimer_ = nullptr;
    bool placed_ = false;
};

}  // namespace kes
