/* luSL records: metrics family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_METRICS_H
#define LUSL_RECORDS_METRICS_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Placeholder layouts of the right size until the family's fields are laid out. */
typedef struct LUSL_PACKED ApMetricsResp {
    luSL_RecordHeader hdr;
    uint8_t raw[49122];
} ApMetricsResp;
LUSL_SIZE(ApMetricsResp, 49124);

typedef struct LUSL_PACKED AssocStaLinkMetricBuffer {
    uint8_t raw[2688];
} AssocStaLinkMetricBuffer;
LUSL_SIZE(AssocStaLinkMetricBuffer, 2688);

#ifdef __cplusplus
}
#endif
#endif
