#include "mid/m.h"
#include <high/h.h>
