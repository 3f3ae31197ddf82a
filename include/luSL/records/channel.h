/* luSL records: channel family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_CHANNEL_H
#define LUSL_RECORDS_CHANNEL_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Placeholder layouts of the right size until the family's fields are laid out. */
typedef struct LUSL_PACKED ChannelPreferenceRpt {
    luSL_RecordHeader hdr;
    uint8_t raw[3685];
} ChannelPreferenceRpt;
LUSL_SIZE(ChannelPreferenceRpt, 3687);

typedef struct LUSL_PACKED OperatingChanRpt {
    luSL_RecordHeader hdr;
    uint8_t raw[55];
} OperatingChanRpt;
LUSL_SIZE(OperatingChanRpt, 57);

typedef struct LUSL_PACKED AssocStaMetricsResp {
    luSL_RecordHeader hdr;
    uint8_t raw[74];
} AssocStaMetricsResp;
LUSL_SIZE(AssocStaMetricsResp, 76);

typedef struct LUSL_PACKED UnAssocStaMetricsResp {
    luSL_RecordHeader hdr;
    uint8_t raw[519];
} UnAssocStaMetricsResp;
LUSL_SIZE(UnAssocStaMetricsResp, 521);

#ifdef __cplusplus
}
#endif
#endif
