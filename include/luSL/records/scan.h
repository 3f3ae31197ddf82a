/* luSL records: scan family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_SCAN_H
#define LUSL_RECORDS_SCAN_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Placeholder layouts of the right size until the family's fields are laid out. */
typedef struct LUSL_PACKED ChScanRpt {
    luSL_RecordHeader hdr;
    uint8_t raw[9761];
} ChScanRpt;
LUSL_SIZE(ChScanRpt, 9763);

#ifdef __cplusplus
}
#endif
#endif
