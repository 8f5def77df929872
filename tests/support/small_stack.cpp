#include "support/small_stack.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace qorvcfg::test {

void RunOnStack(std::size_t stack_size, const std::function<void()> &work) {
  auto *argument = const_cast<std::function<void()> *>(&work);
#if defined(_WIN32)
  auto entry = [](LPVOID arg) -> DWORD {
    (*static_cast<const std::function<void()> *>(arg))();
    return 0;
  };
  HANDLE thread = CreateThread(nullptr, stack_size, entry, argument,
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
#else
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, stack_size), 0);
  auto entry = [](void *arg) -> void * {
    (*static_cast<const std::function<void()> *>(arg))();
    return nullptr;
  };
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, entry, argument), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
#endif
}

}  // namespace qorvcfg::test
