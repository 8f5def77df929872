// The layout facts of the public header, measured once as C
// (header_c_test.c) and once as C++ (header_layout_test.cpp).
#pragma once

#define QORVCFG_LAYOUT_FACTS(FACT)        \
  FACT(sizeof(IpAddressValue))            \
  FACT(sizeof(DataPayload))               \
  FACT(offsetof(DataRecord, payload))     \
  FACT(offsetof(DataRecord, nested))      \
  FACT(sizeof(DataRecord))                \
  FACT(offsetof(ItemDefinition, minimum)) \
  FACT(offsetof(ItemDefinition, maximum)) \
  FACT(sizeof(ItemDefinition))            \
  FACT(offsetof(ConfigHandle, data))      \
  FACT(sizeof(ContentEntry))
