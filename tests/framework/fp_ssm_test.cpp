// Driver state machines, child machines and misuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/fp_internal.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

// What a machine's handler and completion saw.
struct Trace {
  std::vector<int> states;
  int completions = 0;
  int error = 0;
  int state_at_completion = -1;
  bool free_on_completion = false;
};

Trace *TraceOf(fpi_ssm *ssm) { return static_cast<Trace *>(ssm->priv); }

void RecordState(fpi_ssm *ssm) { TraceOf(ssm)->states.push_back(ssm->cur_state); }

void RecordCompletion(fpi_ssm *ssm) {
  Trace *t = TraceOf(ssm);
  ++t->completions;
  t->error = ssm->error;
  t->state_at_completion = ssm->cur_state;
  if (t->free_on_completion) fpi_ssm_free(ssm);
}

fpi_ssm *NewMachine(Trace *trace, int nr_states, fpi_ssm_handler_fn handler = RecordState) {
  fpi_ssm *ssm = fpi_ssm_new(nullptr, handler, nr_states);
  ssm->priv = trace;
  return ssm;
}

class Ssm : public testing::Test {
 protected:
  void SetUp() override { fp_set_debug(4); }
};

TEST_F(Ssm, RunsEachStateThenCompletesOnce) {
  Trace trace;
  fpi_ssm *ssm = NewMachine(&trace, 3);
  EXPECT_EQ(ssm->completed, 1);
  StderrCapture err;
  fpi_ssm_start(ssm, RecordCompletion);
  fpi_ssm_next_state(ssm);
  fpi_ssm_next_state(ssm);
  EXPECT_EQ(trace.completions, 0);
  fpi_ssm_next_state(ssm);
  EXPECT_EQ(trace.states, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(trace.completions, 1);
  EXPECT_EQ(trace.error, 0);
  EXPECT_EQ(ssm->completed, 1);
  EXPECT_EQ(err.Lines(), Lines{});
  // A completed machine may be started again from state 0.
  fpi_ssm_start(ssm, RecordCompletion);
  fpi_ssm_jump_to_state(ssm, 2);
  EXPECT_EQ(trace.states, (std::vector<int>{0, 1, 2, 0, 2}));
  fpi_ssm_free(ssm);
}

TEST_F(Ssm, AbortCarriesTheErrorAndState) {
  Trace trace;
  fpi_ssm *ssm = NewMachine(&trace, 3);
  fpi_ssm_start(ssm, RecordCompletion);
  fpi_ssm_next_state(ssm);
  StderrCapture err;
  fpi_ssm_mark_aborted(ssm, -5);
  EXPECT_EQ(err.Lines(), Lines{"drv:debug [fpi_ssm_mark_aborted] error -5 from state 1"});
  EXPECT_EQ(trace.completions, 1);
  EXPECT_EQ(trace.error, -5);
  EXPECT_EQ(trace.state_at_completion, 1);
  fpi_ssm_free(ssm);
}

// A completion callback that frees its own machine: nothing may touch the
// machine afterwards (the sanitizer build checks this).
TEST_F(Ssm, CompletionMayFreeItsMachine) {
  for (bool abort : {false, true}) {
    Trace trace;
    trace.free_on_completion = true;
    fpi_ssm *ssm = NewMachine(&trace, 2);
    fpi_ssm_start(ssm, RecordCompletion);
    if (abort) {
      fpi_ssm_mark_aborted(ssm, -1);
    } else {
      fpi_ssm_next_state(ssm);
      fpi_ssm_next_state(ssm);
    }
    EXPECT_EQ(trace.completions, 1);
  }
}

// Parent state 1 runs a child; the child's outcome drives the parent.
struct Family {
  Trace parent_trace;
  Trace child_trace;
  int child_error = 0;  // the child aborts with this in its state 0, else completes
  int child_states = 2;
};
Family *g_family = nullptr;

void ChildHandler(fpi_ssm *ssm) {
  RecordState(ssm);
  if (ssm->cur_state == 0 && g_family->child_error != 0) {
    fpi_ssm_mark_aborted(ssm, g_family->child_error);
  } else {
    fpi_ssm_next_state(ssm);
  }
}

void ParentHandler(fpi_ssm *ssm) {
  RecordState(ssm);
  if (ssm->cur_state == 1) {
    fpi_ssm *child = NewMachine(&g_family->child_trace, g_family->child_states, ChildHandler);
    fpi_ssm_start_child(ssm, child);
  }
}

TEST_F(Ssm, ChildAbortAbortsParentAndIsReleased) {
  Family family;
  family.child_error = -110;
  family.parent_trace.free_on_completion = true;
  g_family = &family;
  fpi_ssm *parent = NewMachine(&family.parent_trace, 3, ParentHandler);
  fpi_ssm_start(parent, RecordCompletion);
  StderrCapture err;
  fpi_ssm_next_state(parent);  // state 1 starts the child, which aborts
  EXPECT_EQ(family.child_trace.states, std::vector<int>{0});
  EXPECT_EQ(family.parent_trace.states, (std::vector<int>{0, 1}));
  EXPECT_EQ(family.parent_trace.completions, 1);
  EXPECT_EQ(family.parent_trace.error, -110);
  EXPECT_EQ(family.parent_trace.state_at_completion, 1);
  EXPECT_EQ(err.Lines(), (Lines{"drv:debug [fpi_ssm_mark_aborted] error -110 from state 0",
                                "drv:debug [fpi_ssm_mark_aborted] error -110 from state 1"}));
}

TEST_F(Ssm, ChildCompletionMovesParentOn) {
  Family family;
  g_family = &family;
  fpi_ssm *parent = NewMachine(&family.parent_trace, 3, ParentHandler);
  fpi_ssm_start(parent, RecordCompletion);
  fpi_ssm_next_state(parent);
  EXPECT_EQ(family.child_trace.states, (std::vector<int>{0, 1}));
  EXPECT_EQ(family.parent_trace.states, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(family.parent_trace.completions, 0);
  fpi_ssm_free(parent);
}

// The child is the parent's last step and the parent frees itself on
// completion, all inside the child's own completion.
TEST_F(Ssm, ParentCompletesAndFreesInsideChildCompletion) {
  Family family;
  family.child_states = 1;
  family.parent_trace.free_on_completion = true;
  g_family = &family;
  fpi_ssm *parent = NewMachine(&family.parent_trace, 2, ParentHandler);
  fpi_ssm_start(parent, RecordCompletion);
  fpi_ssm_next_state(parent);
  EXPECT_EQ(family.parent_trace.completions, 1);
  EXPECT_EQ(family.parent_trace.error, 0);
}

// Misuse logs "BUG at file:line" under the function's name and carries on,
// but a handler never sees a state outside the machine.
TEST_F(Ssm, MisuseIsLoggedAndOutOfRangeStatesNeverReachTheHandler) {
  // The function names of the "drv:error [function] BUG at fp_ssm.cpp:N" lines.
  auto BugFunctions = [](const Lines &lines) {
    const std::string head = "drv:error [";
    const std::string bug = "] BUG at fp_ssm.cpp:";
    std::vector<std::string> functions;
    for (const std::string &line : lines) {
      size_t end = line.find(bug);
      if (line.rfind(head, 0) != 0 || end == std::string::npos) continue;
      std::string number = line.substr(end + bug.size());
      if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) continue;
      functions.push_back(line.substr(head.size(), end - head.size()));
    }
    return functions;
  };

  Trace trace;
  fpi_ssm *ssm = NewMachine(&trace, 2);
  {
    StderrCapture err;
    fpi_ssm_start(ssm, RecordCompletion);
    fpi_ssm_jump_to_state(ssm, 2);
    fpi_ssm_jump_to_state(ssm, -1);
    EXPECT_EQ(BugFunctions(err.Lines()),
              (Lines{"fpi_ssm_jump_to_state", "fpi_ssm_jump_to_state"}));
    EXPECT_EQ(trace.states, std::vector<int>{0});
    EXPECT_EQ(ssm->cur_state, 0);
  }
  {
    StderrCapture err;
    fpi_ssm_start(ssm, RecordCompletion);  // still running
    EXPECT_EQ(BugFunctions(err.Lines()), Lines{"fpi_ssm_start"});
    EXPECT_EQ(trace.states, (std::vector<int>{0, 0}));
  }
  fpi_ssm_next_state(ssm);
  fpi_ssm_next_state(ssm);
  ASSERT_EQ(trace.completions, 1);
  {
    StderrCapture err;
    fpi_ssm_next_state(ssm);  // completed after its last state
    EXPECT_EQ(BugFunctions(err.Lines()), Lines{"fpi_ssm_next_state"});
    EXPECT_EQ(trace.states, (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(trace.completions, 1);
    EXPECT_EQ(ssm->cur_state, 2);
  }
  {
    StderrCapture err;
    fpi_ssm_start(ssm, RecordCompletion);
    fpi_ssm_mark_aborted(ssm, 0);
    Lines lines = err.Lines();
    EXPECT_EQ(BugFunctions(lines), Lines{"fpi_ssm_mark_aborted"});
    EXPECT_EQ(lines.front(), "drv:debug [fpi_ssm_mark_aborted] error 0 from state 0");
    EXPECT_EQ(trace.completions, 2);
    EXPECT_EQ(trace.error, 0);
  }
  {
    // Aborted in state 0 of 2: advancing the ended machine stays in range.
    StderrCapture err;
    fpi_ssm_next_state(ssm);
    EXPECT_EQ(BugFunctions(err.Lines()), Lines{"fpi_ssm_next_state"});
    EXPECT_EQ(trace.states.back(), 1);
    fpi_ssm_jump_to_state(ssm, 0);  // completed: logged, jump still made
    EXPECT_EQ(trace.states.back(), 0);
    EXPECT_EQ(trace.completions, 2);
  }
  fpi_ssm_free(ssm);
  fpi_ssm_free(nullptr);
  {
    StderrCapture err;
    fpi_ssm_free(fpi_ssm_new(nullptr, RecordState, 0));
    EXPECT_EQ(BugFunctions(err.Lines()), Lines{"fpi_ssm_new"});
  }
}

}  // namespace
