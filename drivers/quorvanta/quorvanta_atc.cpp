#include "drivers/quorvanta/quorvanta_atc.h"

#include "drivers/chips/zq4846/zq4846.h"

extern "C" int quorvanta_atc_set(struct fp_dev *, uint8_t on) { return zq4846_IO_Set(on); }
