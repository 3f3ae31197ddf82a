/* luSL records: topology family. Included by luSL/records.h; not meant to be included alone. */
#ifndef LUSL_RECORDS_TOPOLOGY_H
#define LUSL_RECORDS_TOPOLOGY_H

#include "luSL/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Placeholder layouts of the right size until the family's fields are laid out. */
typedef struct LUSL_PACKED TopologyResp {
    luSL_RecordHeader hdr;
    uint8_t raw[591];
} TopologyResp;
LUSL_SIZE(TopologyResp, 593);

typedef struct LUSL_PACKED LinkMetricsResp {
    luSL_RecordHeader hdr;
    uint8_t raw[716];
} LinkMetricsResp;
LUSL_SIZE(LinkMetricsResp, 718);

typedef struct LUSL_PACKED ApAutoConfWSC {
    luSL_RecordHeader hdr;
    uint8_t raw[206];
} ApAutoConfWSC;
LUSL_SIZE(ApAutoConfWSC, 208);

typedef struct LUSL_PACKED ClientSteeringBTMRpt {
    luSL_RecordHeader hdr;
    uint8_t raw[19];
} ClientSteeringBTMRpt;
LUSL_SIZE(ClientSteeringBTMRpt, 21);

typedef struct LUSL_PACKED BHSteeringResp {
    luSL_RecordHeader hdr;
    uint8_t raw[13];
} BHSteeringResp;
LUSL_SIZE(BHSteeringResp, 15);

typedef struct LUSL_PACKED BssConfigReq {
    luSL_RecordHeader hdr;
    uint8_t raw[107];
} BssConfigReq;
LUSL_SIZE(BssConfigReq, 109);

#ifdef __cplusplus
}
#endif
#endif
