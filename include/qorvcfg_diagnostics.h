/* qorvcfg diagnostics: what a read left out or repaired, and where.
 *
 * Reading is lenient: an element that names no item, does not convert,
 * exceeds its item's number or repeats a sibling is left out without a result
 * code. The three functions below read exactly as Zel_ConfigCreate,
 * Zel_ConfigRead and Zel_ConfigReadFromData do (same results, same values
 * kept) and in addition call an observer once for every thing left out or
 * repaired, with its position in the input.
 *
 * These functions belong to the library's core: they are in the static
 * library (qorvcfg_core) that the command-line tool and the tests link, not
 * among the exports of the shared library, which stay the nineteen Zel_
 * functions. A host that wants diagnostics links the static library. */
#ifndef QORVCFG_DIAGNOSTICS_H
#define QORVCFG_DIAGNOSTICS_H

#include "qorvcfg.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What a diagnostic is about. */
typedef enum QorvcfgDiagnosticKind {
  /* Data and definition files alike. */
  QORVCFG_DIAG_UNKNOWN_ELEMENT = 1,  /* the name matched no item of its level */
  QORVCFG_DIAG_NUMBER_REACHED = 2,   /* the item's number of values was reached */
  QORVCFG_DIAG_NOT_CONVERTED = 3,    /* the text did not convert; message says why */
  QORVCFG_DIAG_DUPLICATE = 4,        /* equal to an earlier sibling (related_*) */
  QORVCFG_DIAG_EMPTY_STRUCTURE = 5,  /* none of a nested element's children was accepted */
  /* Markup. */
  QORVCFG_DIAG_END_TAG_MISMATCH = 6, /* an end tag that does not close the innermost element */
  QORVCFG_DIAG_UNCLOSED_ELEMENT = 7, /* an element still open at the end of input */
  QORVCFG_DIAG_OUTSIDE_ROOT = 8,     /* text or a second element outside the root */
  QORVCFG_DIAG_COMMENT_TAG = 9,      /* a tag that began with <!-- (ends at the first >) */
  QORVCFG_DIAG_NO_ROOT = 10,         /* the input holds no element at all */
  /* Definition files: what the item builder repaired. */
  QORVCFG_DIAG_UNKNOWN_TYPE = 11,       /* a type word that is none of the six */
  QORVCFG_DIAG_MISSING_NAME = 12,       /* an item without a usable name */
  QORVCFG_DIAG_MINIMUM_ABOVE_MAXIMUM = 13,
  QORVCFG_DIAG_DEFAULT_REPLACED = 14    /* a default that does not convert or names no word */
} QorvcfgDiagnosticKind;

typedef struct QorvcfgDiagnostic {
  uint32_t kind;            /* QorvcfgDiagnosticKind */
  uint32_t line;            /* 1-based line of the element (or tag) in its input; 0 when
                               the report is about no single place (NO_ROOT) */
  uint32_t column;          /* 1-based column, counted in bytes */
  uint32_t related_line;    /* DUPLICATE: where the earlier equal sibling is; else 0 */
  uint32_t related_column;
  const char *element;      /* the element's name, or NULL; valid during the call */
  const char *message;      /* one line of English without the position, e.g.
                               "https_port: '99999' out of bounds 1..65535" */
} QorvcfgDiagnostic;

/* Called once per diagnostic, in input order as far as the reader meets them.
 * The record and its texts are valid only during the call. */
typedef void (*QorvcfgDiagnosticFn)(void *context, const QorvcfgDiagnostic *diagnostic);

/* As Zel_ConfigCreate, Zel_ConfigRead and Zel_ConfigReadFromData; observer may
 * be NULL, which makes them exactly those functions. */
ResultCode Qorvcfg_ConfigCreateObserved(const char *path, ConfigHandle **handle_out,
                                        QorvcfgDiagnosticFn observer, void *context);
ResultCode Qorvcfg_ConfigReadObserved(const char *path, ConfigHandle *handle,
                                      QorvcfgDiagnosticFn observer, void *context);
ResultCode Qorvcfg_ConfigReadFromDataObserved(const char *text, ConfigHandle *handle,
                                              QorvcfgDiagnosticFn observer, void *context);

/* ---- Where values came from ---------------------------------------------
 * A read of text can also report, for the root element and for every element
 * that became a value, where the element stands in the text: offsets in bytes
 * from the text's first byte. */
typedef struct QorvcfgValueSpan {
  const DataRecord *value;  /* the value it became; NULL for the root element */
  const DataRecord *parent; /* the structure value holding it; NULL at the top level */
  uint32_t element_begin;   /* the '<' of its start tag */
  uint32_t element_end;     /* after the '>' of its end tag, or of a self-closing start
                               tag; the text's length when it is never closed */
  uint32_t content_begin;   /* after the '>' of its start tag */
  uint32_t content_end;     /* the '<' of its end tag; element_end when it has none */
  uint32_t text_begin;      /* its text, as reading takes it (the first text directly */
  uint32_t text_end;        /* inside it); both content_begin when it has none */
} QorvcfgValueSpan;

/* Called once per element, when its value is linked into its level (a
 * structure after its members; the root at the end of the read). The record
 * is valid only during the call; the value pointers stay valid as long as the
 * values stay in the handle. */
typedef void (*QorvcfgSpanFn)(void *context, const QorvcfgValueSpan *span);

/* As Qorvcfg_ConfigReadFromDataObserved (observer may be NULL), and in
 * addition calls spans with the place of each value; Zel_EINVAL when spans is
 * NULL. A read that fails may have reported places of values it then took out
 * again. */
ResultCode Qorvcfg_ConfigReadFromDataSpans(const char *text, ConfigHandle *handle,
                                           QorvcfgDiagnosticFn observer, void *context,
                                           QorvcfgSpanFn spans, void *span_context);

/* ---- One value from its text -------------------------------------------
 * Converts text exactly as reading a data file converts an element's text for
 * item: integers by the data file's number syntax within the item's minimum
 * and maximum, strings within the item's length bounds, TRUE or FALSE in any
 * letter case, an address or host name, or one of the enumeration's words.
 * The whole text is converted as given; that a data file cannot hold some
 * texts (empty ones, ones with a '<' or leading white space) is the caller's
 * concern.
 *
 * On Zel_OK, out holds the payload as a value of the item would (a string,
 * keyword or host name in a new copy); release it with Qorvcfg_ValueRelease.
 * Otherwise out is untouched and, when why is not NULL, why receives one line
 * of English saying what rule the text broke (cut to why_size bytes), e.g.
 * "out of bounds 1..65535" or "not one of error, warning, info, debug".
 * Results: Zel_EINVAL for a missing argument, a text that does not convert or
 * an item of type none or structure; Zel_ERANGE for a value or length outside
 * the bounds; Zel_ENOMEM. */
ResultCode Qorvcfg_ValueFromText(const ItemDefinition *item, const char *text, DataPayload *out,
                                 char *why, size_t why_size);

/* Releases what Qorvcfg_ValueFromText allocated in payload for a value of
 * type and clears the pointer; NULL does nothing. */
void Qorvcfg_ValueRelease(ItemType type, DataPayload *payload);

/* ---- One value as text -------------------------------------------------
 * Writes the text that the writer puts in a data file for a value of type
 * with payload into buffer, cut to size - 1 bytes and ended with a NUL when
 * size is not 0, and gives the length of the whole text: decimal integers,
 * TRUE or FALSE, dotted IPv4 and eight-group IPv6 addresses with "/mask"
 * when they have one, texts as they are. Nothing for a structure. With
 * QORVCFG_TEXT_SHORT_IPV6 an IPv6 address (and its mask) takes its shortest
 * form, "fe80::1", for display; note that reading takes a text that begins
 * with a letter for a host name. */
#define QORVCFG_TEXT_SHORT_IPV6 1u
size_t Qorvcfg_ValueToText(ItemType type, const DataPayload *payload, uint32_t flags, char *buffer,
                           size_t size);

/* Whether the text written for a value reads back as the same value, and if
 * not, why: the first that applies of the reasons below. */
typedef enum QorvcfgReadBack {
  QORVCFG_READ_BACK_SAME = 0,
  QORVCFG_READ_BACK_LESS_THAN = 1,       /* reading ends the text at a '<' */
  QORVCFG_READ_BACK_SPLIT_CHARACTER = 2, /* the text ends inside a character, which takes
                                            the bytes of the closing tag with it */
  QORVCFG_READ_BACK_EMPTY = 3,           /* reading leaves out an element without text */
  QORVCFG_READ_BACK_LEADING_SPACE = 4,   /* reading drops leading white space */
  QORVCFG_READ_BACK_MASK = 5             /* reading refuses an address with a mask */
} QorvcfgReadBack;
/* The first two reasons may also make up or swallow elements after the
 * value; the others stay within its own element. */
uint32_t Qorvcfg_ValueReadBack(ItemType type, const DataPayload *payload);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* QORVCFG_DIAGNOSTICS_H */
