// The public header must compile as C11 and lay out its records as for C++.
#include <stddef.h>

#include "api/header_layout_facts.h"
#include "qorvcfg.h"

#define QORVCFG_AS_VALUE(expression) expression,
const size_t kQorvcfgCLayout[] = {QORVCFG_LAYOUT_FACTS(QORVCFG_AS_VALUE)};
