#include <QMessageBox>
#include "gui/mainwindow.h"
#include "tools/userdict.h"
