#include "mid/m.h"
#include "low/a.h"
#include "inner/x.h"
