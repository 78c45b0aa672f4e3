#include "src/ZqAlg/quorv_action_mode.h"

extern "C" {
uint32_t gQuorvActionMode = QUORV_ACTION_IDLE;
}
