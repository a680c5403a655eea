#include "base/mappedfile.h"
#include "base/bytefile.h"
