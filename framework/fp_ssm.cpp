// Sequential state machines for drivers.
#define FP_COMPONENT "drv"

#include <glib.h>

#include "framework/fp_internal.h"

namespace {

// Completion of a child machine: continues the parent, then releases the
// child. The parent may complete (and be freed) inside this call.
void __subsm_complete(fpi_ssm *child) {
  fpi_ssm *parent = child->parent;
  if (child->error != 0) {
    fpi_ssm_mark_aborted(parent, child->error);
  } else {
    fpi_ssm_next_state(parent);
  }
  fpi_ssm_free(child);
}

}  // namespace

extern "C" struct fpi_ssm *fpi_ssm_new(struct fp_dev *dev, fpi_ssm_handler_fn handler,
                                       int nr_states) {
  BUG_ON(nr_states < 1);
  fpi_ssm *ssm = g_new0(fpi_ssm, 1);
  ssm->dev = dev;
  ssm->handler = handler;
  ssm->nr_states = nr_states;
  ssm->completed = 1;
  return ssm;
}

extern "C" void fpi_ssm_free(struct fpi_ssm *ssm) { g_free(ssm); }

extern "C" void fpi_ssm_start(struct fpi_ssm *ssm, fpi_ssm_completed_fn callback) {
  BUG_ON(!ssm->completed);
  ssm->callback = callback;
  ssm->cur_state = 0;
  ssm->completed = 0;
  ssm->error = 0;
  ssm->handler(ssm);
}

extern "C" void fpi_ssm_start_child(struct fpi_ssm *parent, struct fpi_ssm *child) {
  child->parent = parent;
  fpi_ssm_start(child, __subsm_complete);
}

extern "C" void fpi_ssm_mark_completed(struct fpi_ssm *ssm) {
  BUG_ON(ssm->completed);
  ssm->completed = 1;
  // The callback may free the machine: nothing touches it afterwards.
  if (ssm->callback != nullptr) ssm->callback(ssm);
}

extern "C" void fpi_ssm_mark_aborted(struct fpi_ssm *ssm, int error) {
  fp_dbg("error %d from state %d", error, ssm->cur_state);
  BUG_ON(error == 0);
  ssm->error = error;
  fpi_ssm_mark_completed(ssm);
}

extern "C" void fpi_ssm_next_state(struct fpi_ssm *ssm) {
  if (ssm->completed) {
    BUG();
    // A machine that has ended is neither moved past its last state nor
    // completed a second time.
    if (ssm->cur_state + 1 >= ssm->nr_states) return;
  }
  ssm->cur_state++;
  if (ssm->cur_state == ssm->nr_states) {
    fpi_ssm_mark_completed(ssm);
  } else {
    ssm->handler(ssm);
  }
}

extern "C" void fpi_ssm_jump_to_state(struct fpi_ssm *ssm, int state) {
  BUG_ON(ssm->completed);
  if (state < 0 || state >= ssm->nr_states) {
    BUG();
    return;
  }
  ssm->cur_state = state;
  ssm->handler(ssm);
}
