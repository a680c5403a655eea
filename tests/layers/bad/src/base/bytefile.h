#pragma once
#include "base/mappedfile.h"
