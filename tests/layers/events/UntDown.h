// An events header with a relative include: check-layers must refuse it too.
#pragma once

#include "../capture/UntUpward.h"
#include <vector>
