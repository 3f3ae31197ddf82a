// SPDX-License-Identifier: BSD-2-Clause
#include <cstdlib>

#include "core/catalogue.h"
#include "core/log.h"
#include "luSL/luSL.h"

extern "C" LUSL_API void luSL_Msg_free(uint32_t type_arg)
{
    using namespace lusl;
    const auto type = static_cast<uint16_t>(type_arg);
    const MsgType* t = record_of(type);
    if (!t) {
        LUSL_LOG(kModMsg, kWarn, "Unknown message type (%04x)\n", type);
        return;
    }
    switch (t->release) {
    case Release::ApMetrics:
        free(pApMetricsRespSendBuf);
        pApMetricsRespSendBuf = nullptr;
        free(t->get_slot());
        t->set_slot(nullptr);
        free(pAssocStaLinkMetricBuffer);
        pAssocStaLinkMetricBuffer = nullptr;
        break;
    case Release::ChScan:
        free(pChScanRptSendBuf);
        pChScanRptSendBuf = nullptr;
        // The neighbour nodes are reachable only through the record: clear them first.
        if (pChScanRpt) luSL_ChScanRpt_NbrBss_clear(pChScanRpt);
        free(t->get_slot());
        t->set_slot(nullptr);
        break;
    case Release::Plain:
    case Release::None:
        free(t->get_slot());
        t->set_slot(nullptr);
        break;
    }
}
