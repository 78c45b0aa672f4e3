#include "framework/quorvanta_ctx.h"

quorvanta_ctx_t *quorvanta_ctx = nullptr;
