#include <QApplication>
#include "app/settings.h"
#include "base/bytefile.h"
#include "gui/viewer.h"
#include "tools/dictsetup.h"
#include "ui/pageview.h"
