#include "workbench/workbench_state.h"

namespace workbench {
namespace {
WorkbenchState gState;
}  // namespace

WorkbenchState& State() {
  return gState;
}

void ResetState() {
  gState = WorkbenchState();
}

}  // namespace workbench
