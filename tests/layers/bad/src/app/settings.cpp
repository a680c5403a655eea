#include "app/settings.h"
#include <QtCore/QSettings>
