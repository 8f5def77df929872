/* qorvcfg: configuration library with a plain C interface.
 *
 * A host describes its settings once in a definition file, then reads,
 * queries, changes and writes data files that obey it through the nineteen
 * Zel_ functions declared here. Every function except Zel_ConfigDestroy
 * returns a ResultCode.
 *
 * This header is the manual: the rules that hold for every function come
 * first, then each result code, record field and function with what it
 * checks (in order, with the code of each failure), what it writes, who owns
 * what it hands out and which calls may run at the same time. The file
 * formats are described in docs/definition-format.md and docs/data-format.md;
 * qorvcfg.hpp is a C++ interface over these functions. */
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

/* ---- Rules that hold for every function ----------------------------------
 *
 * Checks. Each function checks its arguments first, in the order its comment
 * lists them, and answers the first check that fails; nothing has changed
 * then. Outputs (the out pointers, counts, arrays) are written only when the
 * call answers Zel_OK, unless its comment says otherwise.
 *
 * Records. The host names a value by the address of its DataRecord, and may
 * pass to the library only records that the library handed out
 * (Zel_DataGet*, Zel_DataDefaultCreate*). Default records (Zel_DataDefaultGet*)
 * are read-only and are never passed where a value is expected.
 *
 * Lifetime. Everything the library hands out (records, their texts and host
 * names, default records, ItemDefinition trees, the names in ContentEntry)
 * belongs to the handle and stays valid until Zel_ConfigDestroy, except:
 *   - a read that fails while loading (Zel_ENOMEM, Zel_EEXIST, Zel_ENOTFOUND
 *     from Zel_ConfigRead*) releases every value of the handle, so every
 *     record of a value is invalid afterwards;
 *   - a change of a string or enumeration value releases its old text, and a
 *     change of an address its old host name.
 * Values that are in no container (made by Zel_DataDefaultCreate* and not
 * added, deleted, or dropped by a failed change) stay valid and are released
 * by Zel_ConfigDestroy. Texts and address records the host passes in are
 * copied; the host keeps them.
 *
 * Threads. The library has no threads; each call runs on the caller's.
 * Different handles are independent. On one handle, the queries
 * (Zel_ContentListGet*, Zel_DataGet*, Zel_DataDefaultGet*,
 * Zel_DataDefaultCreate*) may run at the same time as each other; a read, a
 * write, an add, a change, a delete or Zel_ConfigDestroy must run alone on
 * its handle. Each item's value index has a lock of its own, held for one
 * index operation; nothing else is locked.
 *
 * Lists. Zel_ContentListGet* and Zel_DataGet* take a count that is the
 * capacity of the caller's array on entry and the number that exists on
 * return; ask with capacity 0 first, then with an array of that size.
 */

/* ---- Result codes --------------------------------------------------------
 * Zero is success. Zel_ESYSTEM and Zel_EBUSY carry a Windows error number in
 * their low bits: test them with (result & Zel_CODE_MASK). On Linux the
 * library maps errno values to the same numbers. Qorvcfg_ResultText (below)
 * gives any code's name and meaning as text. */
typedef uint32_t ResultCode;

#define Zel_CODE_MASK 0xFFFC0000u /* keeps the code, drops the error number */
#define Zel_OK 0x00000000u        /* success */
/* Opening, reading or writing a file failed: ORed with the Windows error
 * number (2 file not found, 3 path not found, 5 access denied, 1 not a
 * regular file, 223 larger than 2,147,483,647 bytes, ...). */
#define Zel_ESYSTEM 0x01400000u
#define Zel_EEOF 0x03200000u   /* end of input inside the reader; never returned */
#define Zel_ENOMEM 0x03400000u /* a memory allocation failed */
/* Opening a file failed because it is in use: ORed with 32 (sharing
 * violation), 33 (lock violation) or 170 (busy). */
#define Zel_EBUSY 0x04300000u
/* A required argument is null, a record is not of the required type, a value
 * is not acceptable (a word that is not one of the enumeration's), or the
 * markup ends inside a tag. */
#define Zel_EINVAL 0x04400000u
#define Zel_ENOENT 0x05300000u /* the value is not in its item's index */
/* An equal value is already present, or the value is already in a container. */
#define Zel_EEXIST 0x06300000u
/* No item of that name at this level (Zel_DataGetFromData: or the record is
 * not a structure). */
#define Zel_ENOTFOUND 0x06400000u
#define Zel_EBADTAG 0x07400000u /* a value index is damaged: it lacks its tag */
/* The value's item is not one of this level's items, or the value is held by
 * another container than the one named. */
#define Zel_EFOREIGN 0x09400000u
/* An integer, or a text's length in bytes, outside the item's minimum and
 * maximum; or the item's number of values is reached. */
#define Zel_ERANGE 0x0A400000u

/* ---- Item types ---------------------------------------------------------- */
typedef uint32_t ItemType;

#define Zel_TYPE_NONE 0u        /* the definition gave no usable type */
#define Zel_TYPE_INTEGER 1u     /* signed 64-bit */
#define Zel_TYPE_STRING 2u      /* a text */
#define Zel_TYPE_BOOLEAN 3u     /* TRUE or FALSE */
#define Zel_TYPE_IPADDR 4u      /* an IPv4 or IPv6 address, or a host name */
#define Zel_TYPE_ENUMERATION 5u /* one of the item's words */
#define Zel_TYPE_STRUCTURE 6u   /* a group of member values */

/* IpAddressValue.form and .family */
#define Zel_IP_FORM_HOSTNAME 1u /* host_name holds the name */
#define Zel_IP_FORM_NUMERIC 2u  /* address (and mask) hold the bytes */
#define Zel_IP_FAMILY_V4 4u     /* address[0..3] */
#define Zel_IP_FAMILY_V6 6u     /* address[0..15] */

/* ---- Records that cross the boundary ------------------------------------- */
typedef struct ItemDefinition ItemDefinition;
typedef struct ValueIndex ValueIndex; /* opaque */

/* An allowed word of an enumeration, with its display text. */
typedef struct KeywordEntry {
  struct KeywordEntry *next; /* the next word, in definition order; null after the last */
  char *keyword;             /* the word, as values hold it */
  char *text;                /* the display text (the element's text; "" when none) */
} KeywordEntry;

/* The ipaddr payload: a host name (form 1) or a numeric address (form 2). */
typedef struct IpAddressValue {
  uint16_t form;       /* Zel_IP_FORM_HOSTNAME or Zel_IP_FORM_NUMERIC */
  uint16_t family;     /* Zel_IP_FAMILY_V4 or _V6 (numeric form) */
  char *host_name;     /* form 1: the name, owned by the value or item holding it */
  uint8_t address[16]; /* form 2: network order; IPv4 uses the first 4 bytes */
  uint8_t mask[16];    /* form 2: in the address's layout; all zero: no mask */
} IpAddressValue;

/* The 48-byte payload of a value, laid out by its type. */
typedef union DataPayload {
  int64_t integer;       /* Zel_TYPE_INTEGER */
  char *text;            /* Zel_TYPE_STRING: owned by the value */
  uint32_t boolean;      /* Zel_TYPE_BOOLEAN: 0 FALSE, anything else TRUE (stored as 1) */
  IpAddressValue ipaddr; /* Zel_TYPE_IPADDR */
  char *keyword;         /* Zel_TYPE_ENUMERATION: owned by the value */
  void *structure;       /* Zel_TYPE_STRUCTURE: not for the host */
  unsigned char bytes[48];
} DataPayload;

/* The values of one level: the top level of a handle, or the inside of a
 * structure value. The host reaches it only through the Zel_ functions. */
typedef struct DataContainer {
  void *next;             /* the container's value list: first value */
  void *prev;             /* last value */
  uint32_t count;         /* number of items at this level */
  ItemDefinition **items; /* those items, in definition order */
  ValueIndex **indexes;   /* one value index per item */
} DataContainer;

/* The part of a value that the host sees; the host names a value by the
 * address of its record. */
typedef struct DataRecord {
  ItemType type;        /* the item's type */
  DataPayload payload;  /* the contents, by type */
  DataContainer nested; /* a structure's members; empty for other types */
} DataRecord;

/* An item's default: type and payload, read-only for the host. */
typedef struct DefaultRecord {
  ItemType type;       /* the item's type */
  DataPayload payload; /* texts and host names owned by the item */
} DefaultRecord;

/* One item of a definition. Read-only for the host; the library never reads
 * description, dispstring and hidden, which are there for the host. */
struct ItemDefinition {
  ItemDefinition *next;        /* the next item of the same level; null after the last */
  char *name;                  /* the item's name; data elements are named after it */
  char *description;           /* the definition's description text, or null */
  char *dispstring;            /* the definition's display text, or null */
  uint32_t identifier;         /* 1: tells values of the enclosing structure apart */
  uint32_t necessity;          /* 1 unless the definition says FALSE; not enforced */
  uint32_t hidden;             /* 1 when the definition says TRUE */
  uint32_t number;             /* most values at one level; 0 means no limit */
  ItemType type;               /* Zel_TYPE_* */
  KeywordEntry *entries;       /* an enumeration's words, in definition order */
  DefaultRecord default_value; /* what Zel_DataDefaultGet hands out */
  int64_t minimum;             /* integer: least value; string: shortest length; else 0 */
  int64_t maximum;             /* integer: greatest value; string: longest length; else 0 */
  ItemDefinition *children;    /* a structure's member items, in definition order */
};

/* The object made by Zel_ConfigCreate. The host may read its fields but
 * never changes them. */
typedef struct ConfigHandle {
  char *name;            /* the definition's name, or null */
  char *description;     /* the definition's description, or null */
  char *dispstring;      /* the definition's display text, or null */
  uint32_t hidden;       /* the definition's hidden flag, 0 when absent */
  ItemDefinition *items; /* the top-level items, in definition order; null when none */
  DataContainer data;    /* the top-level values */
} ConfigHandle;

/* One row of the list that Zel_ContentListGet fills. */
typedef struct ContentEntry {
  const char *name; /* the item's name, owned by the handle */
  ItemType type;    /* the item's type */
} ContentEntry;

/* ---- The nineteen functions ---------------------------------------------- */

/* Zel_ConfigCreate: reads a definition file and makes a handle for it.
 *   path        UTF-8 path of the definition file (docs/definition-format.md).
 *   handle_out  receives the new handle.
 * Checks: path or handle_out null: Zel_EINVAL. Then opening and reading the
 * file: Zel_ESYSTEM | n (2: no such file), Zel_EBUSY | n, Zel_EINVAL when the
 * markup ends inside a tag, Zel_ENOMEM.
 * Success: *handle_out is the handle. Elements that do not fit the definition
 * format are left out without a code: a file whose root has no usable child
 * gives a handle with no items. Failure: *handle_out untouched, nothing kept.
 * Ownership: the host owns the handle and releases it with Zel_ConfigDestroy.
 * Threads: any number of handles may be made and destroyed at once. */
QORVCFG_API ResultCode Zel_ConfigCreate(const char *path, ConfigHandle **handle_out);

/* Zel_ConfigDestroy: releases the handle with its item definitions and every
 * value it holds, those in no container included. Every pointer the library
 * handed out for this handle is invalid afterwards.
 *   handle  a handle from Zel_ConfigCreate, or null (then nothing happens).
 * Threads: nothing else may use the handle meanwhile. */
QORVCFG_API void Zel_ConfigDestroy(ConfigHandle *handle);

/* Zel_ConfigRead: reads a data file (docs/data-format.md) and adds its values
 * to the handle's; nothing already there is replaced.
 *   path    UTF-8 path of the data file.
 *   handle  the handle.
 * Checks: path or handle null: Zel_EINVAL. Then: Zel_ENOMEM when the handle
 * has no items or a structure item has no member items (the file is not
 * opened); opening and reading: Zel_ESYSTEM | n, Zel_EBUSY | n, Zel_EINVAL
 * (markup ends inside a tag), Zel_ENOMEM; these leave the values as they
 * were. Loading: Zel_EEXIST (a value equal to one already held, e.g. the
 * same file read twice), Zel_ENOMEM; these release EVERY value of the handle,
 * earlier reads' and added ones included.
 * Elements that name no item, do not convert, exceed their item's number or
 * repeat an equal sibling are left out without a code.
 * Threads: runs alone on its handle. */
QORVCFG_API ResultCode Zel_ConfigRead(const char *path, ConfigHandle *handle);

/* Zel_ConfigReadFromData: as Zel_ConfigRead, from a data text in memory.
 *   text    the data, zero-terminated UTF-8; read only, not kept.
 *   handle  the handle.
 * Checks and results: those of Zel_ConfigRead, without the file's. */
QORVCFG_API ResultCode Zel_ConfigReadFromData(const char *text, ConfigHandle *handle);

/* Zel_ConfigWrite: writes the handle's values as a data file, replacing the
 * file: "<config>\n", one line per value (structures over several lines),
 * "</config>\n". Nothing is escaped; see docs/data-format.md for what does
 * not read back the same.
 *   path    UTF-8 path of the file to write.
 *   handle  the handle; not changed.
 * Checks: path or handle null: Zel_EINVAL. Then: Zel_ENOMEM; creating the
 * file: Zel_EBUSY | n (in use), Zel_ESYSTEM | n (3: no such folder); writing:
 * Zel_ESYSTEM | n. A failure after the file was created leaves it as far as
 * it was written.
 * Threads: runs alone on its handle. While the file is open, other opens of
 * it fail with Zel_EBUSY | 32. */
QORVCFG_API ResultCode Zel_ConfigWrite(const char *path, ConfigHandle *handle);

/* Zel_ContentListGet: lists the top-level items, in definition order.
 *   handle   the handle.
 *   entries  array for min(capacity, number of items) rows, or null.
 *   count    in: capacity of entries (ignored when entries is null);
 *            out: the number of items, whatever the capacity.
 * Checks: handle or count null: Zel_EINVAL; the definition has no items:
 * Zel_EINVAL (count untouched).
 * Success: the first min(capacity, items) entries filled, *count set.
 * Ownership: the names belong to the handle (valid until Zel_ConfigDestroy).
 * Threads: a query; may run beside other queries on the handle. */
QORVCFG_API ResultCode Zel_ContentListGet(ConfigHandle *handle, ContentEntry *entries,
                                          uint32_t *count);

/* Zel_ContentListGetFromData: as Zel_ContentListGet, for the member items of
 * a structure value.
 *   record  a structure value's record (of any other type the list is empty).
 * Checks: record or count null: Zel_EINVAL; no member items (also: record not
 * a structure): Zel_EINVAL. */
QORVCFG_API ResultCode Zel_ContentListGetFromData(DataRecord *record, ContentEntry *entries,
                                                  uint32_t *count);

/* Zel_DataGet: lists the values of a top-level item, from the greatest to the
 * least (integers 3, 7, 5 are listed 7, 5, 3; docs/data-format.md gives the
 * order of every type).
 *   handle   the handle.
 *   name     the item's name, matched exactly ("port" is not "portnumber").
 *   records  array for min(capacity, values) record pointers; may be null
 *            only when the capacity is 0.
 *   count    in: capacity of records; out: the number of values of the item.
 * Checks: handle, name or count null: Zel_EINVAL; no top-level item of that
 * name: Zel_ENOTFOUND; a damaged index: Zel_EINVAL or Zel_EBADTAG.
 * Success: records[0..min(capacity, values)) filled, *count the total; when
 * the total exceeds the capacity, ask again with a larger array.
 * Ownership: the records are the stored values themselves (not copies): see
 * Lifetime above. The array is the host's.
 * Threads: a query; takes the item's index lock while it lists. */
QORVCFG_API ResultCode Zel_DataGet(ConfigHandle *handle, const char *name, DataRecord **records,
                                   uint32_t *count);

/* Zel_DataGetFromData: as Zel_DataGet, for a member item of a structure value.
 *   record  the structure value's record.
 * Checks: record, name or count null: Zel_EINVAL; record not a structure:
 * Zel_ENOTFOUND; no member item of that name: Zel_ENOTFOUND; then as
 * Zel_DataGet. */
QORVCFG_API ResultCode Zel_DataGetFromData(DataRecord *record, const char *name,
                                           DataRecord **records, uint32_t *count);

/* Zel_DataDefaultGet: gives a top-level item's default record.
 *   handle       the handle.
 *   name         the item's name, matched exactly.
 *   default_out  receives the item's own default record (read-only).
 * Checks: any argument null: Zel_EINVAL; no top-level item of that name:
 * Zel_ENOTFOUND.
 * Success: *default_out set; valid until Zel_ConfigDestroy. The default of a
 * structure item has no contents; an enumeration item without words has a
 * null keyword.
 * Threads: a query. */
QORVCFG_API ResultCode Zel_DataDefaultGet(ConfigHandle *handle, const char *name,
                                          const DefaultRecord **default_out);

/* Zel_DataDefaultGetFromData: as Zel_DataDefaultGet, for a member item of a
 * structure value.
 * Checks: any argument null, or record not a structure: Zel_EINVAL; no member
 * item of that name: Zel_ENOTFOUND. */
QORVCFG_API ResultCode Zel_DataDefaultGetFromData(DataRecord *record, const char *name,
                                                  const DefaultRecord **default_out);

/* Zel_DataDefaultCreate: makes a new value of a top-level item from its
 * default. The value is in no container: give it its contents with
 * Zel_DataChange, then add it with Zel_DataAdd (a structure value: add its
 * members with Zel_DataAddToData first, its identifier members above all).
 *   handle     the handle.
 *   name       the item's name, matched exactly.
 *   value_out  receives the new value's record.
 * Checks: any argument null: Zel_EINVAL; no top-level item of that name:
 * Zel_ENOTFOUND; then Zel_EINVAL when the default cannot make a value (an
 * enumeration item without words), Zel_ENOMEM.
 * Ownership: the value belongs to the host until it is added; Zel_ConfigDestroy
 * releases it in any case (there is no other way to release it).
 * Threads: may run beside queries on the handle. */
QORVCFG_API ResultCode Zel_DataDefaultCreate(ConfigHandle *handle, const char *name,
                                             DataRecord **value_out);

/* Zel_DataDefaultCreateFromData: as Zel_DataDefaultCreate, for a member item
 * of a structure value; the new value is added with Zel_DataAddToData to this
 * structure value (or another of the same structure item).
 * Checks: any argument null, or record not a structure: Zel_EINVAL; no member
 * item of that name: Zel_ENOTFOUND; then as Zel_DataDefaultCreate. */
QORVCFG_API ResultCode Zel_DataDefaultCreateFromData(DataRecord *record, const char *name,
                                                     DataRecord **value_out);

/* Zel_DataChange: replaces the contents of a top-level value, checked against
 * its item. An added value is re-sorted; a value in no container only takes
 * the new contents.
 *   handle     the handle.
 *   value      the value's record (from Zel_DataGet or Zel_DataDefaultCreate).
 *   new_value  by the value's type: const int64_t *; the text (const char *);
 *              const uint32_t * (boolean, 0 FALSE); const IpAddressValue *
 *              (its host name is copied); the enumeration word (const char *).
 *              For a structure any pointer: it is stored and never read.
 * Checks: handle or value null: Zel_EINVAL; the value's item is not a
 * top-level item: Zel_EFOREIGN; the record's type is not 1 to 6: Zel_EINVAL;
 * the value is held by another container: Zel_EFOREIGN; new_value null
 * (other than for a structure): Zel_EINVAL; an integer outside minimum and
 * maximum, or a text whose length is: Zel_ERANGE; a word that is not one of
 * the item's: Zel_EINVAL; copying a text: Zel_ENOMEM. Up to here nothing has
 * changed. Then re-sorting an added value: when it now equals another value
 * of the item, Zel_EEXIST (also Zel_ENOMEM, Zel_EBADTAG): the value keeps its
 * new contents but leaves the handle (Zel_DataGet no longer lists it, the
 * writer no longer writes it) and is the host's, to change and add again.
 * The item's number is not looked at.
 * Ownership: new_value stays the host's. The old text or host name is
 * released: pointers to it become invalid.
 * Threads: runs alone on its handle. */
QORVCFG_API ResultCode Zel_DataChange(ConfigHandle *handle, DataRecord *value,
                                      const void *new_value);

/* Zel_DataChangeToData: as Zel_DataChange, for a member value of a structure
 * value.
 *   parent  the structure value that holds (or will hold) the value.
 * Checks: parent or value null: Zel_EINVAL; the value's item is not a member
 * item of parent's (also: parent not a structure): Zel_EFOREIGN; then as
 * Zel_DataChange, "another container" meaning another structure value. */
QORVCFG_API ResultCode Zel_DataChangeToData(DataRecord *parent, DataRecord *value,
                                            const void *new_value);

/* Zel_DataAdd: adds a value made by Zel_DataDefaultCreate (or deleted, or
 * dropped by a failed change) to the top level, checked against its item.
 *   handle  the handle.
 *   value   the value's record.
 * Checks: handle or value null: Zel_EINVAL; the value's item is not a
 * top-level item: Zel_EFOREIGN; the record's type is not 1 to 6: Zel_EINVAL;
 * an integer outside minimum and maximum, or a text whose length is:
 * Zel_ERANGE; an enumeration word that is not one of the item's: Zel_EINVAL;
 * the item's number of values reached: Zel_ERANGE; the value is already in a
 * container (this one or another): Zel_EEXIST; a value of the item equal to
 * it is present: Zel_EEXIST; Zel_ENOMEM, Zel_EBADTAG.
 * Success: the value is listed by Zel_DataGet and written after the values
 * already there. Failure: the value stays the host's, unchanged.
 * Ownership: from now on the handle holds the value.
 * Threads: runs alone on its handle. */
QORVCFG_API ResultCode Zel_DataAdd(ConfigHandle *handle, DataRecord *value);

/* Zel_DataAddToData: as Zel_DataAdd, adding a member value to a structure
 * value.
 *   parent  the structure value.
 *   value   made by Zel_DataDefaultCreateFromData on a value of the same
 *           structure item.
 * Checks: parent or value null: Zel_EINVAL; the value's item is not a member
 * item of parent's (also: parent not a structure, or a top-level value):
 * Zel_EFOREIGN; then as Zel_DataAdd. Adding members to a structure value that
 * is already added does not move it among its siblings. */
QORVCFG_API ResultCode Zel_DataAddToData(DataRecord *parent, DataRecord *value);

/* Zel_DataDel: takes a top-level value out of the handle without releasing
 * it; it stays valid (texts and members included), belongs to the host and
 * may be added again.
 *   handle  the handle.
 *   value   the value's record.
 * Checks: handle or value null: Zel_EINVAL; the value's item is not a
 * top-level item: Zel_EFOREIGN. A value in no container: Zel_OK, nothing
 * done (deleting twice is harmless). A value held by another container:
 * Zel_EFOREIGN. The item's necessity is not looked at.
 * Threads: runs alone on its handle. */
QORVCFG_API ResultCode Zel_DataDel(ConfigHandle *handle, DataRecord *value);

/* Zel_DataDelFromData: as Zel_DataDel, for a member value of a structure
 * value.
 *   parent  the structure value that holds the value.
 * Checks: parent or value null: Zel_EINVAL; the value's item is not a member
 * item of parent's: Zel_EFOREIGN; then as Zel_DataDel (a value held by a
 * sibling structure value: Zel_EFOREIGN). */
QORVCFG_API ResultCode Zel_DataDelFromData(DataRecord *parent, DataRecord *value);

/* ---- Result codes as text (in this header; not a library function) -------
 * Qorvcfg_ResultText: writes the name and meaning of a result code into
 * buffer, e.g. "Zel_ERANGE: ..." or, with the Windows error number,
 * "Zel_ESYSTEM|2: opening, reading or writing a file failed (Windows error 2:
 * file not found)". A code that is not one of the library's gives
 * "0x........: not a result code of qorvcfg".
 *   buffer  receives at most size - 1 bytes and a terminating zero; may be
 *           null when size is 0.
 * Gives the length of the whole text (without its zero), as snprintf does: a
 * result of size or more means that the text was cut. 160 bytes always
 * suffice. Touches nothing else; may run on any thread. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L)
#define QORVCFG_INLINE static inline
#elif defined(_MSC_VER)
#define QORVCFG_INLINE static __inline
#else
#define QORVCFG_INLINE static __inline__
#endif

QORVCFG_INLINE size_t Qorvcfg_TextAppend_(char *buffer, size_t size, size_t at, const char *text) {
  for (; *text != '\0'; ++text, ++at) {
    if (at + 1 < size) buffer[at] = *text;
  }
  return at;
}

QORVCFG_INLINE size_t Qorvcfg_ResultText(ResultCode result, char *buffer, size_t size) {
  static const struct {
    ResultCode code;
    const char *name;
    const char *meaning;
  } kCodes[] = {
      {Zel_OK, "Zel_OK", "success"},
      {Zel_ESYSTEM, "Zel_ESYSTEM", "opening, reading or writing a file failed"},
      {Zel_EEOF, "Zel_EEOF", "end of input (internal to the reader)"},
      {Zel_ENOMEM, "Zel_ENOMEM", "out of memory"},
      {Zel_EBUSY, "Zel_EBUSY", "the file is in use"},
      {Zel_EINVAL, "Zel_EINVAL",
       "a null argument, a record of the wrong type, or a value that is not acceptable"},
      {Zel_ENOENT, "Zel_ENOENT", "the value is not in its item's index"},
      {Zel_EEXIST, "Zel_EEXIST",
       "an equal value is already present, or the value is in a container"},
      {Zel_ENOTFOUND, "Zel_ENOTFOUND", "no item of that name at this level"},
      {Zel_EBADTAG, "Zel_EBADTAG", "a value index is damaged"},
      {Zel_EFOREIGN, "Zel_EFOREIGN", "the value does not belong to this level"},
      {Zel_ERANGE, "Zel_ERANGE",
       "out of the item's bounds, or the item's number of values is reached"},
  };
  static const struct {
    uint32_t number;
    const char *meaning;
  } kWindowsErrors[] = {
      {1, "not a regular file"},
      {2, "file not found"},
      {3, "path not found"},
      {4, "too many open files"},
      {5, "access denied"},
      {8, "not enough memory"},
      {19, "write-protected"},
      {32, "sharing violation"},
      {33, "lock violation"},
      {112, "disk full"},
      {170, "busy"},
      {206, "name too long"},
      {223, "file too large"},
  };
  const ResultCode code = result & Zel_CODE_MASK;
  const uint32_t number = result & ~Zel_CODE_MASK;
  const int numbered = code == Zel_ESYSTEM || code == Zel_EBUSY;
  char digits[12];
  size_t at = 0, i, d = sizeof digits;
  if (buffer == NULL) size = 0;
  for (i = 0; i < sizeof kCodes / sizeof kCodes[0]; ++i) {
    if (kCodes[i].code == code && (number == 0 || numbered)) break;
  }
  if (i == sizeof kCodes / sizeof kCodes[0]) {
    static const char kHex[] = "0123456789ABCDEF";
    char hex[11];
    int shift;
    hex[0] = '0';
    hex[1] = 'x';
    for (shift = 28, d = 2; shift >= 0; shift -= 4) hex[d++] = kHex[(result >> shift) & 15u];
    hex[10] = '\0';
    at = Qorvcfg_TextAppend_(buffer, size, at, hex);
    at = Qorvcfg_TextAppend_(buffer, size, at, ": not a result code of qorvcfg");
  } else {
    uint32_t rest = number;
    digits[--d] = '\0';
    do {
      digits[--d] = (char)('0' + rest % 10);
      rest /= 10;
    } while (rest != 0);
    at = Qorvcfg_TextAppend_(buffer, size, at, kCodes[i].name);
    if (numbered && number != 0) {
      at = Qorvcfg_TextAppend_(buffer, size, at, "|");
      at = Qorvcfg_TextAppend_(buffer, size, at, digits + d);
    }
    at = Qorvcfg_TextAppend_(buffer, size, at, ": ");
    at = Qorvcfg_TextAppend_(buffer, size, at, kCodes[i].meaning);
    if (numbered && number != 0) {
      at = Qorvcfg_TextAppend_(buffer, size, at, " (Windows error ");
      at = Qorvcfg_TextAppend_(buffer, size, at, digits + d);
      for (i = 0; i < sizeof kWindowsErrors / sizeof kWindowsErrors[0]; ++i) {
        if (kWindowsErrors[i].number == number) {
          at = Qorvcfg_TextAppend_(buffer, size, at, ": ");
          at = Qorvcfg_TextAppend_(buffer, size, at, kWindowsErrors[i].meaning);
        }
      }
      at = Qorvcfg_TextAppend_(buffer, size, at, ")");
    }
  }
  if (size != 0) buffer[at < size ? at : size - 1] = '\0';
  return at;
}

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
