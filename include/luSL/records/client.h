/* luSL records: client family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_CLIENT_H
#define LUSL_RECORDS_CLIENT_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Placeholder layouts of the right size until the family's fields are laid out. */
typedef struct LUSL_PACKED CliCapRpt {
    luSL_RecordHeader hdr;
    uint8_t raw[2148];
} CliCapRpt;
LUSL_SIZE(CliCapRpt, 2150);

#ifdef __cplusplus
}
#endif
#endif
