// Window test support: the Qt forms of the shared file helpers (the same bytes as the plain
// ones in tempdir.h), a dictionary maker for a program folder, the modal-dialog helper and
// the start of a window test program.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtTest>
#include <functional>

#include "ui/pageloader.h"

class QDialog;

namespace kes::ui {
class PageView;
}

namespace kes::test {

// The body's HTML of `view` once the page has settled (every body handed to it shown);
// "<time-out>" when it does not settle.
QString SettledBody(ui::PageView* view);
// Clicks the middle of the first element of the page that matches the CSS `selector` with the
// mouse, as a user does (the view must be shown; the element is scrolled into sight first);
// false when the page has no such element.
bool ClickElement(ui::PageView* view, const QString& selector);

// UTF-16LE bytes of `text` (no byte-order mark).
QByteArray Utf16Bytes(const QString& text);
// The lines, each ended by CR LF, as UTF-16LE bytes: a data file as the program reads it.
QByteArray Ucs2File(const QStringList& lines);
// Writes `bytes` as the whole file; throws when the file cannot be written.
void WriteBytes(const QString& path, const QByteArray& bytes);
// The whole file; empty when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Builds NAME.ced (the lines) and its index NAME.idx in `folder` under `description`;
// throws when no index results.
void MakeDict(const QString& folder, const QString& name, const QString& description,
              const QStringList& lines);

// Whether this build imports the bundled CC-CEDICT into its program folder (KESTRUNE_DICTIONARY).
bool BuildHasBundledCedict();
// The lines of that import (bin/cedict.ced, UTF-16LE), comments included, without their line
// ends; none when the build has none or the file cannot be read.
QStringList BundledCedictLines();

// Runs `inside` once `dialog` runs its modal loop (the test opens it next), then closes the
// dialog (rejected) if it is still open, so that a failed check never leaves the test waiting
// on a window.
void InsideModal(QDialog& dialog, std::function<void()> inside);

// The page views of the program: the page plugin of this build.
ui::PageFactory PageFactory();

// Prepares the process for window tests before any application object exists: the offscreen
// platform unless one is set, the page view's engine without sandbox and without GPU.
void PrepareWindowTestEnvironment();

// The body of a window test program: runs the Qt Test object of type T inside an application
// that stays alive when its last window closes (the program's tool windows are dialogs).
template <class T>
int RunWindowTest(int argc, char** argv) {
    PrepareWindowTestEnvironment();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    T test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kes::test
