/* A small host program: reads the service settings, looks at them, changes
 * the port, adds an upstream server and writes the result.
 *
 *   qorvcfg_host service.def service.conf out.conf
 *
 * Every call is checked; the first failure ends the program with status 1. */
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

#include "qorvcfg.h"

/* Reports a failed call; gives 1 when result is Zel_OK. */
static int Ok(ResultCode result, const char *what) {
  if (result == Zel_OK) return 1;
  fprintf(stderr, "qorvcfg_host: %s failed: 0x%08" PRIX32 "\n", what, result);
  return 0;
}

/* The values of one item: asks for the count first (capacity 0), then for
 * the records. The caller frees the array. */
static ResultCode GetValues(ConfigHandle *handle, DataRecord *structure, const char *name,
                            DataRecord ***values, uint32_t *count) {
  uint32_t capacity = 0;
  ResultCode result = structure ? Zel_DataGetFromData(structure, name, NULL, &capacity)
                                : Zel_DataGet(handle, name, NULL, &capacity);
  *values = NULL;
  *count = 0;
  if (result != Zel_OK || capacity == 0) return result;
  *values = malloc(capacity * sizeof **values);
  if (*values == NULL) return Zel_ENOMEM;
  *count = capacity;
  result = structure ? Zel_DataGetFromData(structure, name, *values, count)
                     : Zel_DataGet(handle, name, *values, count);
  if (*count > capacity) *count = capacity; /* nothing is added meanwhile here */
  return result;
}

/* Makes a child value of a structure from its default, sets it and adds it.
 * contents may be NULL to keep the default. */
static int AddChild(DataRecord *structure, const char *name, const void *contents) {
  DataRecord *child = NULL;
  return Ok(Zel_DataDefaultCreateFromData(structure, name, &child), name) &&
         (contents == NULL || Ok(Zel_DataChangeToData(structure, child, contents), name)) &&
         Ok(Zel_DataAddToData(structure, child), name);
}

static int Run(const char *definition, const char *data, const char *output) {
  ConfigHandle *handle = NULL;
  ContentEntry *items = NULL;
  DataRecord **values = NULL;
  uint32_t count = 0;
  uint32_t i;
  int ok = 0;

  if (!Ok(Zel_ConfigCreate(definition, &handle), "Zel_ConfigCreate")) return 0;
  if (!Ok(Zel_ConfigRead(data, handle), "Zel_ConfigRead")) goto done;

  /* The items of the top level, the count first. */
  if (!Ok(Zel_ContentListGet(handle, NULL, &count), "Zel_ContentListGet")) goto done;
  items = malloc(count * sizeof *items);
  if (items == NULL || !Ok(Zel_ContentListGet(handle, items, &count), "Zel_ContentListGet")) {
    goto done;
  }
  printf("%" PRIu32 " items:", count);
  for (i = 0; i < count; ++i) printf(" %s", items[i].name);
  printf("\n");

  /* The listen addresses: IPv4 ones printed, others counted. */
  if (!Ok(GetValues(handle, NULL, "listen", &values, &count), "listen")) goto done;
  for (i = 0; i < count; ++i) {
    const IpAddressValue *ip = &values[i]->payload.ipaddr;
    if (ip->form == Zel_IP_FORM_NUMERIC && ip->family == Zel_IP_FAMILY_V4) {
      printf("listen %d.%d.%d.%d\n", ip->address[0], ip->address[1], ip->address[2],
             ip->address[3]);
    } else {
      printf("listen (not IPv4)\n");
    }
  }
  free(values);
  values = NULL;

  /* Each upstream server with its name and port, through the FromData forms. */
  if (!Ok(GetValues(handle, NULL, "upstream", &values, &count), "upstream")) goto done;
  for (i = 0; i < count; ++i) {
    DataRecord *name = NULL, *port = NULL;
    uint32_t n = 1, p = 1;
    if (!Ok(Zel_DataGetFromData(values[i], "name", &name, &n), "upstream/name") ||
        !Ok(Zel_DataGetFromData(values[i], "port", &port, &p), "upstream/port")) {
      goto done;
    }
    printf("upstream %s port %" PRId64 "\n", n ? name->payload.text : "(no name)",
           p ? port->payload.integer : 0);
  }
  free(values);
  values = NULL;

  /* Change the port: an item with number 1 has exactly one value or none. */
  {
    const int64_t port = 8443;
    DataRecord *record = NULL;
    count = 1;
    if (!Ok(Zel_DataGet(handle, "port", &record, &count), "Zel_DataGet port")) goto done;
    if (count == 0) {
      if (!Ok(Zel_DataDefaultCreate(handle, "port", &record), "Zel_DataDefaultCreate port") ||
          !Ok(Zel_DataChange(handle, record, &port), "Zel_DataChange port") ||
          !Ok(Zel_DataAdd(handle, record), "Zel_DataAdd port")) {
        goto done;
      }
    } else if (!Ok(Zel_DataChange(handle, record, &port), "Zel_DataChange port")) {
      goto done;
    }
  }

  /* A new upstream server: its members are added first, then the structure,
   * so that it enters its item's index with its identifier in place. */
  {
    DataRecord *upstream = NULL;
    IpAddressValue host = {0};
    const int64_t weight = 2;
    host.form = Zel_IP_FORM_NUMERIC;
    host.family = Zel_IP_FAMILY_V4;
    host.address[0] = 10;
    host.address[3] = 13;
    if (!Ok(Zel_DataDefaultCreate(handle, "upstream", &upstream), "Zel_DataDefaultCreate") ||
        !AddChild(upstream, "name", "gamma") || !AddChild(upstream, "host", &host) ||
        !AddChild(upstream, "port", NULL) || !AddChild(upstream, "weight", &weight) ||
        !Ok(Zel_DataAdd(handle, upstream), "Zel_DataAdd upstream")) {
      goto done;
    }
  }

  /* The default of an item, read-only. */
  {
    const DefaultRecord *level = NULL;
    if (!Ok(Zel_DataDefaultGet(handle, "log_level", &level), "Zel_DataDefaultGet")) goto done;
    printf("log_level default %s\n", level->payload.keyword ? level->payload.keyword : "(none)");
  }

  if (!Ok(Zel_ConfigWrite(output, handle), "Zel_ConfigWrite")) goto done;
  printf("written to %s\n", output);
  ok = 1;

done:
  free(values);
  free(items);
  Zel_ConfigDestroy(handle); /* releases every value and record */
  return ok;
}

int main(int argc, char **argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: qorvcfg_host DEFINITION DATA OUTPUT\n");
    return 2;
  }
  return Run(argv[1], argv[2], argv[3]) ? 0 : 1;
}
