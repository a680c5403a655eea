#pragma once
// The storage layer renders nothing, yet:
#include "app/resultpage.h"
#include "charinfo/s2t.h"
