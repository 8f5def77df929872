/* qorvcfg: configuration library with a plain C interface.
 *
 * A host describes its settings once in a definition file, then reads,
 * queries, changes and writes data files that obey it through the nineteen
 * Zel_ functions declared here. Every function except Zel_ConfigDestroy
 * returns a ResultCode. */
#ifndef QORVCFG_H
#define QORVCFG_H

#include <stddef.h>
#include <stdint.h>

/* The library's version; the shared library's SONAME (libqorvcfg.so.MAJOR)
 * and the DLL's version resource carry the same numbers. */
#define QORVCFG_VERSION_MAJOR 0
#define QORVCFG_VERSION_MINOR 1
#define QORVCFG_VERSION_PATCH 0
#define QORVCFG_VERSION_STRING "0.1.0"
/* One number for comparisons: MAJOR * 10000 + MINOR * 100 + PATCH. */
#define QORVCFG_VERSION \
  (QORVCFG_VERSION_MAJOR * 10000 + QORVCFG_VERSION_MINOR * 100 + QORVCFG_VERSION_PATCH)

/* On Windows the DLL's exports come from its .def file alone, so the library
 * itself and hosts of the static library (QORVCFG_STATIC) declare the
 * functions without dllexport and nothing linked with those objects exports
 * them. Built with GCC, the library still gives them default visibility:
 * among objects compiled with -fvisibility=hidden, link-time optimization
 * would otherwise take them for internal and drop them, and the linker would
 * fill the DLL's export table with addresses of nothing. */
#if defined(_WIN32)
#if defined(QORVCFG_BUILDING) && defined(__GNUC__)
#define QORVCFG_API __attribute__((visibility("default")))
#elif defined(QORVCFG_BUILDING) || defined(QORVCFG_STATIC)
#define QORVCFG_API
#else
#define QORVCFG_API __declspec(dllimport)
#endif
#else
#if defined(QORVCFG_BUILDING)
#define QORVCFG_API __attribute__((visibility("default")))
#else
#define QORVCFG_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes --------------------------------------------------------
 * Zero is success. Zel_ESYSTEM and Zel_EBUSY carry a Windows error number in
 * their low bits: test them with (result & Zel_CODE_MASK). */
typedef uint32_t ResultCode;

#define Zel_CODE_MASK 0xFFFC0000u
#define Zel_OK 0x00000000u
#define Zel_ESYSTEM 0x01400000u /* ORed with the Windows error number */
#define Zel_EEOF 0x03200000u    /* end of input; never reaches the host */
#define Zel_ENOMEM 0x03400000u
#define Zel_EBUSY 0x04300000u /* ORed with 32, 33 or 170 */
#define Zel_EINVAL 0x04400000u
#define Zel_ENOENT 0x05300000u
#define Zel_EEXIST 0x06300000u
#define Zel_ENOTFOUND 0x06400000u
#define Zel_EBADTAG 0x07400000u
#define Zel_EFOREIGN 0x09400000u
#define Zel_ERANGE 0x0A400000u

/* ---- Item types ---------------------------------------------------------- */
typedef uint32_t ItemType;

#define Zel_TYPE_NONE 0u
#define Zel_TYPE_INTEGER 1u
#define Zel_TYPE_STRING 2u
#define Zel_TYPE_BOOLEAN 3u
#define Zel_TYPE_IPADDR 4u
#define Zel_TYPE_ENUMERATION 5u
#define Zel_TYPE_STRUCTURE 6u

/* IpAddressValue.form and .family */
#define Zel_IP_FORM_HOSTNAME 1u
#define Zel_IP_FORM_NUMERIC 2u
#define Zel_IP_FAMILY_V4 4u
#define Zel_IP_FAMILY_V6 6u

/* ---- Records that cross the boundary ------------------------------------- */
typedef struct ItemDefinition ItemDefinition;
typedef struct ValueIndex ValueIndex; /* opaque */

/* An allowed word of an enumeration, with its display text. */
typedef struct KeywordEntry {
  struct KeywordEntry *next;
  char *keyword;
  char *text;
} KeywordEntry;

/* The ipaddr payload: a host name (form 1) or a numeric address (form 2).
 * A mask of all zero bytes means that no mask was given. */
typedef struct IpAddressValue {
  uint16_t form;
  uint16_t family;
  char *host_name;
  uint8_t address[16];
  uint8_t mask[16];
} IpAddressValue;

/* The 48-byte payload of a value, laid out by its type. */
typedef union DataPayload {
  int64_t integer;       /* Zel_TYPE_INTEGER */
  char *text;            /* Zel_TYPE_STRING */
  uint32_t boolean;      /* Zel_TYPE_BOOLEAN: 0 FALSE, anything else TRUE */
  IpAddressValue ipaddr; /* Zel_TYPE_IPADDR */
  char *keyword;         /* Zel_TYPE_ENUMERATION */
  void *structure;       /* Zel_TYPE_STRUCTURE: not for the host */
  unsigned char bytes[48];
} DataPayload;

/* The values of one level: the top level of a handle, or the inside of a
 * structure value. The host reaches it only through the Zel_ functions. */
typedef struct DataContainer {
  void *next;
  void *prev;
  uint32_t count;
  ItemDefinition **items;
  ValueIndex **indexes;
} DataContainer;

/* The part of a value that the host sees; the host names a value by the
 * address of its record. */
typedef struct DataRecord {
  ItemType type;
  DataPayload payload;
  DataContainer nested;
} DataRecord;

/* An item's default: type and payload, read-only for the host. */
typedef struct DefaultRecord {
  ItemType type;
  DataPayload payload;
} DefaultRecord;

/* One item of a definition. minimum and maximum follow each other. */
struct ItemDefinition {
  ItemDefinition *next;
  char *name;
  char *description;
  char *dispstring;
  uint32_t identifier;
  uint32_t necessity;
  uint32_t hidden;
  uint32_t number; /* most values at one level; 0 means no limit */
  ItemType type;
  KeywordEntry *entries;
  DefaultRecord default_value;
  int64_t minimum;
  int64_t maximum;
  ItemDefinition *children;
};

/* The object made by Zel_ConfigCreate. The host may read its fields but
 * never changes them. */
typedef struct ConfigHandle {
  char *name;
  char *description;
  char *dispstring;
  uint32_t hidden;
  ItemDefinition *items;
  DataContainer data;
} ConfigHandle;

/* One row of the list that Zel_ContentListGet fills. */
typedef struct ContentEntry {
  const char *name;
  ItemType type;
} ContentEntry;

/* ---- The nineteen functions ---------------------------------------------- */
QORVCFG_API ResultCode Zel_ConfigCreate(const char *path, ConfigHandle **handle_out);
QORVCFG_API void Zel_ConfigDestroy(ConfigHandle *handle);
QORVCFG_API ResultCode Zel_ConfigRead(const char *path, ConfigHandle *handle);
QORVCFG_API ResultCode Zel_ConfigReadFromData(const char *text, ConfigHandle *handle);
QORVCFG_API ResultCode Zel_ConfigWrite(const char *path, ConfigHandle *handle);

QORVCFG_API ResultCode Zel_ContentListGet(ConfigHandle *handle, ContentEntry *entries,
                                          uint32_t *count);
QORVCFG_API ResultCode Zel_ContentListGetFromData(DataRecord *record, ContentEntry *entries,
                                                  uint32_t *count);

QORVCFG_API ResultCode Zel_DataGet(ConfigHandle *handle, const char *name, DataRecord **records,
                                   uint32_t *count);
QORVCFG_API ResultCode Zel_DataGetFromData(DataRecord *record, const char *name,
                                           DataRecord **records, uint32_t *count);

QORVCFG_API ResultCode Zel_DataDefaultGet(ConfigHandle *handle, const char *name,
                                          const DefaultRecord **default_out);
QORVCFG_API ResultCode Zel_DataDefaultGetFromData(DataRecord *record, const char *name,
                                                  const DefaultRecord **default_out);

QORVCFG_API ResultCode Zel_DataDefaultCreate(ConfigHandle *handle, const char *name,
                                             DataRecord **value_out);
QORVCFG_API ResultCode Zel_DataDefaultCreateFromData(DataRecord *record, const char *name,
                                                     DataRecord **value_out);

/* new_value by type: const int64_t*, const char* text, const uint32_t*,
 * const IpAddressValue*, const char* keyword, or a pointer for a structure. */
QORVCFG_API ResultCode Zel_DataChange(ConfigHandle *handle, DataRecord *value,
                                      const void *new_value);
QORVCFG_API ResultCode Zel_DataChangeToData(DataRecord *parent, DataRecord *value,
                                            const void *new_value);
QORVCFG_API ResultCode Zel_DataAdd(ConfigHandle *handle, DataRecord *value);
QORVCFG_API ResultCode Zel_DataAddToData(DataRecord *parent, DataRecord *value);
QORVCFG_API ResultCode Zel_DataDel(ConfigHandle *handle, DataRecord *value);
QORVCFG_API ResultCode Zel_DataDelFromData(DataRecord *parent, DataRecord *value);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- Layout the host relies on ------------------------------------------- */
#if defined(__cplusplus)
#define QORVCFG_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define QORVCFG_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
QORVCFG_STATIC_ASSERT(sizeof(IpAddressValue) == 48, "IpAddressValue is 48 bytes");
QORVCFG_STATIC_ASSERT(offsetof(IpAddressValue, host_name) == 8, "IpAddressValue layout");
QORVCFG_STATIC_ASSERT(offsetof(IpAddressValue, address) == 16, "IpAddressValue layout");
QORVCFG_STATIC_ASSERT(offsetof(IpAddressValue, mask) == 32, "IpAddressValue layout");
QORVCFG_STATIC_ASSERT(sizeof(DataPayload) == 48, "payload is 48 bytes");
QORVCFG_STATIC_ASSERT(offsetof(DataRecord, payload) == 8, "DataRecord layout");
QORVCFG_STATIC_ASSERT(offsetof(DataRecord, nested) == 56, "DataRecord layout");
QORVCFG_STATIC_ASSERT(sizeof(DataContainer) == 40, "DataContainer layout");
QORVCFG_STATIC_ASSERT(offsetof(ItemDefinition, identifier) == 32, "ItemDefinition layout");
QORVCFG_STATIC_ASSERT(offsetof(ItemDefinition, entries) == 56, "ItemDefinition layout");
QORVCFG_STATIC_ASSERT(offsetof(ItemDefinition, default_value) == 64, "ItemDefinition layout");
QORVCFG_STATIC_ASSERT(offsetof(ItemDefinition, minimum) == 120, "ItemDefinition layout");
QORVCFG_STATIC_ASSERT(offsetof(ItemDefinition, maximum) == 128, "ItemDefinition layout");
QORVCFG_STATIC_ASSERT(offsetof(ItemDefinition, children) == 136, "ItemDefinition layout");
QORVCFG_STATIC_ASSERT(offsetof(ConfigHandle, hidden) == 24, "ConfigHandle layout");
QORVCFG_STATIC_ASSERT(offsetof(ConfigHandle, items) == 32, "ConfigHandle layout");
QORVCFG_STATIC_ASSERT(offsetof(ConfigHandle, data) == 40, "ConfigHandle layout");
QORVCFG_STATIC_ASSERT(sizeof(ContentEntry) == 16, "ContentEntry layout");
#endif

#endif /* QORVCFG_H */
