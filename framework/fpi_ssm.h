// Sequential state machines through which drivers run their asynchronous
// USB work. A handler is called whenever the machine enters a state; the
// completion of that state's step moves the machine on, jumps, or ends it.
#ifndef FRAMEWORK_FPI_SSM_H_
#define FRAMEWORK_FPI_SSM_H_

#ifdef __cplusplus
extern "C" {
#endif

struct fp_dev;
struct fpi_ssm;

// Called when the machine completes; reads `error`, usually frees the machine.
typedef void (*fpi_ssm_completed_fn)(struct fpi_ssm *ssm);
// Called on entering each state; reads `cur_state`.
typedef void (*fpi_ssm_handler_fn)(struct fpi_ssm *ssm);

// One machine; allocated zeroed by fpi_ssm_new.
struct fpi_ssm {
  struct fp_dev *dev;             // the device the machine works for
  struct fpi_ssm *parent;         // the parent while running as a child, else NULL
  void *priv;                     // the driver's own pointer
  int nr_states;                  // valid states are 0 .. nr_states - 1
  int cur_state;                  // the current state
  int completed;                  // 1 before start and after completion
  int error;                      // 0, or the error the machine was aborted with
  fpi_ssm_completed_fn callback;  // completion callback given at start; may be NULL
  fpi_ssm_handler_fn handler;     // state handler given at creation
};

// New machine, completed and in state 0; nr_states <= 0 is logged as misuse.
struct fpi_ssm *fpi_ssm_new(struct fp_dev *dev, fpi_ssm_handler_fn handler, int nr_states);

// Releases a machine; NULL is ignored.
void fpi_ssm_free(struct fpi_ssm *ssm);

// Starts in state 0 with error 0 and calls the handler; starting a machine
// that has not completed is logged as misuse.
void fpi_ssm_start(struct fpi_ssm *ssm, fpi_ssm_completed_fn callback);

// Runs `child` as a step of `parent`: when the child completes, the parent is
// aborted with the child's error or moved to its next state, and the child is
// released.
void fpi_ssm_start_child(struct fpi_ssm *parent, struct fpi_ssm *child);

// Moves to the next state and calls the handler, or completes the machine
// after its last state. On a completed machine: logged as misuse, and the
// handler runs only when the next state is still a valid one; the machine
// never completes twice this way.
void fpi_ssm_next_state(struct fpi_ssm *ssm);

// Moves to `state` and calls the handler. A completed machine is logged as
// misuse and still jumps; a state outside 0 .. nr_states - 1 is logged as
// misuse and ignored.
void fpi_ssm_jump_to_state(struct fpi_ssm *ssm, int state);

// Completes the machine and calls its completion callback, which may free
// it. Completing a completed machine is logged as misuse.
void fpi_ssm_mark_completed(struct fpi_ssm *ssm);

// Logs "error %d from state %d", stores the error and completes the machine;
// an error of 0 is logged as misuse.
void fpi_ssm_mark_aborted(struct fpi_ssm *ssm, int error);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_SSM_H_
