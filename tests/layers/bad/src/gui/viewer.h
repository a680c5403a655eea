#include <QApplication>
#include "cli/cli.h"
#include "ui/dialogs.h"
