/* luSL records: capability family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_CAPABILITY_H
#define LUSL_RECORDS_CAPABILITY_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Placeholder layouts of the right size until the family's fields are laid out. */
typedef struct LUSL_PACKED ApCapRpt {
    luSL_RecordHeader hdr;
    uint8_t raw[11424];
} ApCapRpt;
LUSL_SIZE(ApCapRpt, 11426);

#ifdef __cplusplus
}
#endif
#endif
