// The five windows of a viewer run, created once at start in this order: fmMain, fmUserdict,
// fmDictSetup, fmDuplicates, fmEditString. The viewer start-up keeps this table and hands it to
// the main window, which opens the tool windows through it; a pointer is null when that
// window does not exist (for example in a test that creates one window alone).
#pragma once

namespace kes {

class TfmMain;
class TfmUserdict;
class TfmDictSetup;
class TfmDuplicates;
class TfmEditString;

struct Forms {
    TfmMain* fmMain = nullptr;
    TfmUserdict* fmUserdict = nullptr;
    TfmDictSetup* fmDictSetup = nullptr;
    TfmDuplicates* fmDuplicates = nullptr;
    TfmEditString* fmEditString = nullptr;
};

}  // namespace kes
