#include "ui/pageview.h"
#include "webpage/webpageview.h"
