/* SPDX-License-Identifier: BSD-2-Clause */
// Pieces shared by the AP Capability Report extractors: the record view, the radio lookup
// and the operating-class channel lists of the scan and CAC regions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bytes.h"
#include "core/record.h"
#include "luSL/luSL.h"

namespace lusl::apcap {

inline ApCapRpt& rpt(uint8_t* record)
{
    return record_as<ApCapRpt>(record);
}

// Index of the first radio entry in use whose identifier equals the 6 bytes of id, or -1.
// Entries exist only through earlier AP Radio Basic Capabilities TLVs of the message.
int find_radio(const ApCapRpt& r, const uint8_t* id);

// Radio entries in use, never more than the record holds (the count may come from a caller).
inline unsigned radios_in_use(const ApCapRpt& r)
{
    return r.radio_num < MAX_RADIO_PER_DEVICE ? r.radio_num : MAX_RADIO_PER_DEVICE;
}

// Operating class, channel count, channels. Steps over the list; false when it does not fit.
bool skip_chan_list(Reader& in);
// Reads one list that skip_chan_list accepted: the count as received, the channels that
// fit, the rest stepped over.
void read_chan_list(Reader& in, ApCapChanList& dst);

} // namespace lusl::apcap
