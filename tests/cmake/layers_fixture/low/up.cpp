#include "mid/m.h"
