#include "common/loadstatus.h"

bool loadFailed = false;
