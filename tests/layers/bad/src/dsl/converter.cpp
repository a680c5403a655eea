#include "dsl/converter.h"
#include "charinfo/s2t.h"
