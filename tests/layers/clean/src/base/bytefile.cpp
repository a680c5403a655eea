#include "base/bytefile.h"

#include "base/text.h"
