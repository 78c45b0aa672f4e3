// Relative to its folder.

  #  include "../high/h.h"  // above
