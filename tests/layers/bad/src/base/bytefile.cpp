#include "base/mappedfile.h"
