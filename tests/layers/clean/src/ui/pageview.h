#include <QWidget>
#include <QtWebEngineWidgets/QWebEngineView>
#include "ui/dialogs.h"
