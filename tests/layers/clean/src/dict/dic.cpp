#include "dict/dic.h"

#include <vector>

#include "base/text.h"
#include "charinfo/s2t.h"
// #include "app/resultpage.h" in a comment is no include
static const char* kText = "#include \"app/resultpage.h\"; [x] \\";
