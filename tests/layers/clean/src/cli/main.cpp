#include "app/viewerargs.h"
#include "cli/cli.h"
#include "dsl/converter.h"
#include "tools/userdict.h"
