/* The public header as a C program sees it: it must compile as C11 and lay
 * out every record exactly as the C++ library does. */
#include <stddef.h>

#include "qorvcfg.h"

/* One measured fact; header_layout_test.cpp declares the same record. */
typedef struct LayoutFact {
  const char *name;
  size_t value;
} LayoutFact;

const LayoutFact *QorvcfgCLayoutFacts(size_t *count);

/* The C prototypes match the ones the library is built against: taking the
 * type of each function needs no definition, so this checks the header
 * alone. */
#define QORVCFG_SAME_TYPE(function, type) \
  _Static_assert(_Generic(&function, type : 1, default : 0), #function " has the expected type")

QORVCFG_SAME_TYPE(Zel_ConfigCreate, ResultCode (*)(const char *, ConfigHandle **));
QORVCFG_SAME_TYPE(Zel_ConfigDestroy, void (*)(ConfigHandle *));
QORVCFG_SAME_TYPE(Zel_ConfigRead, ResultCode (*)(const char *, ConfigHandle *));
QORVCFG_SAME_TYPE(Zel_ContentListGetFromData,
                  ResultCode (*)(DataRecord *, ContentEntry *, uint32_t *));
QORVCFG_SAME_TYPE(Zel_DataGet,
                  ResultCode (*)(ConfigHandle *, const char *, DataRecord **, uint32_t *));
QORVCFG_SAME_TYPE(Zel_DataDefaultGetFromData,
                  ResultCode (*)(DataRecord *, const char *, const DefaultRecord **));
QORVCFG_SAME_TYPE(Zel_DataChangeToData, ResultCode (*)(DataRecord *, DataRecord *, const void *));

#define FACT(name, value) \
  { name, (size_t)(value) }

static const LayoutFact kFacts[] = {
    FACT("sizeof(ResultCode)", sizeof(ResultCode)),
    FACT("sizeof(ItemType)", sizeof(ItemType)),
    FACT("sizeof(KeywordEntry)", sizeof(KeywordEntry)),
    FACT("KeywordEntry.text", offsetof(KeywordEntry, text)),
    FACT("sizeof(IpAddressValue)", sizeof(IpAddressValue)),
    FACT("IpAddressValue.family", offsetof(IpAddressValue, family)),
    FACT("IpAddressValue.host_name", offsetof(IpAddressValue, host_name)),
    FACT("IpAddressValue.address", offsetof(IpAddressValue, address)),
    FACT("IpAddressValue.mask", offsetof(IpAddressValue, mask)),
    FACT("sizeof(DataPayload)", sizeof(DataPayload)),
    FACT("alignof(DataPayload)", _Alignof(DataPayload)),
    FACT("sizeof(DataContainer)", sizeof(DataContainer)),
    FACT("DataContainer.count", offsetof(DataContainer, count)),
    FACT("DataContainer.items", offsetof(DataContainer, items)),
    FACT("DataContainer.indexes", offsetof(DataContainer, indexes)),
    FACT("sizeof(DataRecord)", sizeof(DataRecord)),
    FACT("DataRecord.payload", offsetof(DataRecord, payload)),
    FACT("DataRecord.nested", offsetof(DataRecord, nested)),
    FACT("sizeof(DefaultRecord)", sizeof(DefaultRecord)),
    FACT("DefaultRecord.payload", offsetof(DefaultRecord, payload)),
    FACT("sizeof(ItemDefinition)", sizeof(ItemDefinition)),
    FACT("ItemDefinition.name", offsetof(ItemDefinition, name)),
    FACT("ItemDefinition.identifier", offsetof(ItemDefinition, identifier)),
    FACT("ItemDefinition.necessity", offsetof(ItemDefinition, necessity)),
    FACT("ItemDefinition.hidden", offsetof(ItemDefinition, hidden)),
    FACT("ItemDefinition.number", offsetof(ItemDefinition, number)),
    FACT("ItemDefinition.type", offsetof(ItemDefinition, type)),
    FACT("ItemDefinition.entries", offsetof(ItemDefinition, entries)),
    FACT("ItemDefinition.default_value", offsetof(ItemDefinition, default_value)),
    FACT("ItemDefinition.minimum", offsetof(ItemDefinition, minimum)),
    FACT("ItemDefinition.maximum", offsetof(ItemDefinition, maximum)),
    FACT("ItemDefinition.children", offsetof(ItemDefinition, children)),
    FACT("sizeof(ConfigHandle)", sizeof(ConfigHandle)),
    FACT("ConfigHandle.hidden", offsetof(ConfigHandle, hidden)),
    FACT("ConfigHandle.items", offsetof(ConfigHandle, items)),
    FACT("ConfigHandle.data", offsetof(ConfigHandle, data)),
    FACT("sizeof(ContentEntry)", sizeof(ContentEntry)),
    FACT("ContentEntry.type", offsetof(ContentEntry, type)),
    /* The codes as a C compiler evaluates the macros. */
    FACT("Zel_EBUSY|32 masked", (Zel_EBUSY | 32u) & Zel_CODE_MASK),
    FACT("Zel_ESYSTEM|0x3FFFF masked", (Zel_ESYSTEM | 0x3FFFFu) & Zel_CODE_MASK),
    FACT("Zel_EEOF masked", Zel_EEOF &Zel_CODE_MASK),
};

const LayoutFact *QorvcfgCLayoutFacts(size_t *count) {
  *count = sizeof kFacts / sizeof kFacts[0];
  return kFacts;
}
