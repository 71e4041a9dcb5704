#include "tolvek/threads.h"

#include <signal.h>

#include <cstdlib>

namespace tolvek {

constexpr size_t kThreadSignalStackSize = 1 << 16;

ThreadSignalStack::ThreadSignalStack()
    : m_stack(static_cast<char*>(std::malloc(kThreadSignalStackSize))) {
  if (!m_stack) return;  // the thread is reported as long as its own stack has room
  stack_t stack{};
  stack.ss_sp = m_stack;
  stack.ss_size = kThreadSignalStackSize;
  ::sigaltstack(&stack, nullptr);
}

ThreadSignalStack::~ThreadSignalStack() {
  if (!m_stack) return;
  stack_t stack{};
  stack.ss_flags = SS_DISABLE;
  ::sigaltstack(&stack, nullptr);
  std::free(m_stack);
}

}  // namespace tolvek
