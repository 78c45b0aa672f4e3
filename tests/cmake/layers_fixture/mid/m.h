// Middle header.
#include "low/a.h"
