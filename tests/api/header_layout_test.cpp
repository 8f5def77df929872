// The public header must lay out its records for C exactly as for C++.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "api/header_layout_facts.h"
#include "qorvcfg.h"

extern "C" const std::size_t kQorvcfgCLayout[];

namespace {

TEST(PublicHeader, CAndCxxAgreeOnTheLayout) {
  const std::size_t *c_value = kQorvcfgCLayout;
#define QORVCFG_COMPARE(expression) EXPECT_EQ(*c_value++, expression) << #expression;
  QORVCFG_LAYOUT_FACTS(QORVCFG_COMPARE)
#undef QORVCFG_COMPARE
}

}  // namespace
