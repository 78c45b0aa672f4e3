#include <vector>
#include "low/a.h"
#include "mid/m.h"
#include "high/inner/x.h"
#include "no/such/header.h"
