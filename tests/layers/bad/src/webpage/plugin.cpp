#include <QWebEngineView>
#include "gui/mainwindow.h"
