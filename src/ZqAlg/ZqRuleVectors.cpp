#include "src/ZqAlg/ZqRuleVectors.h"

#include <stddef.h>

namespace {

ZqRuleVectorObserver gObserver = NULL;
void *gObserverUser = NULL;

}  // namespace

extern "C" {

void ZqSetRuleVectorObserverForTest(ZqRuleVectorObserver fn, void *user) {
  gObserver = fn;
  gObserverUser = fn != NULL ? user : NULL;
}

int ZqRuleVectorObserved(void) { return gObserver != NULL; }

void ZqRuleVectorNotify(const ZqRuleVector *v) {
  if (gObserver != NULL && v != NULL) gObserver(v, gObserverUser);
}

}  // extern "C"
