#pragma once
#include "base/bytefile.h"
