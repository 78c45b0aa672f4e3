// Test and tool hook: the measurement vectors that the recall rescue looks
// up in the false-reject lists and rule table 7, and that the
// full-homography scorer looks up in its false-accept lists, handed to an
// observer as they are measured. No observer is set by default; then the
// matcher measures and decides exactly as without the hook.
#ifndef SRC_ZQALG_ZQRULEVECTORS_H_
#define SRC_ZQALG_ZQRULEVECTORS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Which look-up a vector is measured for.
#define ZQ_RULE_FR_LIST0 0  // false-reject list 0 (rule 21)
#define ZQ_RULE_FR_LIST1 1  // false-reject list 1 (rule 22)
#define ZQ_RULE_TABLE7 7    // rule table 7 of the rescue (rule 1)
#define ZQ_RULE_FA_LIST 10  // a false-accept list of the full-homography scorer

// Room for the longest vector (table 7's seven columns).
#define ZQ_RULE_VECTOR_MAX 7

// One measured vector, in the column order of its table or list.
typedef struct ZqRuleVector {
  int32_t kind;     // ZQ_RULE_*
  int32_t list;     // false-accept list type 1 .. 3; 0 for the other kinds
  int32_t n;        // elements of vec: 6, or 7 for table 7
  int32_t vec[ZQ_RULE_VECTOR_MAX];
  int32_t score;    // the comparison's score before the look-up
  int32_t threshold;  // threshold of the verify level (rescue kinds); 0 for false-accept lists
} ZqRuleVector;

// Called with each vector; user is the pointer given with it.
typedef void (*ZqRuleVectorObserver)(const ZqRuleVector *v, void *user);

// Sets the observer (NULL: none). With an observer set, the rescue measures
// every look-up whose gate holds, also those that an earlier rule of the
// same comparison made unnecessary, and restores the pair record
// afterwards, so scores and records stay as without it. Tests and the
// fitting tool only.
void ZqSetRuleVectorObserverForTest(ZqRuleVectorObserver fn, void *user);

// True when an observer is set.
int ZqRuleVectorObserved(void);

// Hands v to the observer, if any.
void ZqRuleVectorNotify(const ZqRuleVector *v);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQRULEVECTORS_H_
