/* SPDX-License-Identifier: BSD-2-Clause */
// Links of the scan record's neighbour lists: the 4-byte head/next fields.
//
// On the 32-bit target a link is the node's address, as the layout was made for. Wider
// hosts cannot fit an address in 4 bytes, so there a link is 1 + the node's index in a
// fixed table of node pointers. A table slot is held from the node's allocation to its
// release by the clear; once every node is released the table starts again from slot 0,
// so it only has to hold the nodes of one record (one parse). A full table is reported as
// an allocation failure, like a failed calloc.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "luSL/luSL.h"

namespace lusl::scan {

struct NewNode {
    ChScanNbrBss* node; // zero-filled; nullptr when out of memory or links
    uint32_t link;
};

#if UINTPTR_MAX <= 0xFFFFFFFFu

inline NewNode node_new() noexcept
{
    auto* p = static_cast<ChScanNbrBss*>(calloc(1, sizeof(ChScanNbrBss)));
    return {p, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))};
}

inline ChScanNbrBss* node_at(uint32_t link) noexcept
{
    // The link is the address: the conversion is the layout's own.
    return reinterpret_cast<ChScanNbrBss*>(static_cast<uintptr_t>(link)); // NOLINT(performance-no-int-to-ptr)
}

inline void node_delete(uint32_t link) noexcept { free(node_at(link)); }

#else

// Far more nodes than one datagram can carry (about 2500 neighbour blocks).
inline constexpr uint32_t kNodeTableSize = 8192;

// Slots hold node addresses inverted, 0 when free. A leak checker does not follow them, so
// a node whose record went without a clear shows up as a leak, as it does on the target.
struct NodeTable {
    uintptr_t slot[kNodeTableSize];
    uint32_t used; // slots handed out since the table was last empty
    uint32_t live; // of those, not yet released
};
extern NodeTable g_nodes;

inline NewNode node_new() noexcept
{
    if (g_nodes.used == kNodeTableSize) return {nullptr, 0};
    auto* p = static_cast<ChScanNbrBss*>(calloc(1, sizeof(ChScanNbrBss)));
    if (!p) return {nullptr, 0};
    g_nodes.slot[g_nodes.used++] = ~reinterpret_cast<uintptr_t>(p);
    ++g_nodes.live;
    return {p, g_nodes.used};
}

// nullptr for 0 and for a link whose node was released (a stale link is never followed).
inline ChScanNbrBss* node_at(uint32_t link) noexcept
{
    if (link == 0 || link > g_nodes.used || g_nodes.slot[link - 1] == 0) return nullptr;
    return reinterpret_cast<ChScanNbrBss*>(~g_nodes.slot[link - 1]); // NOLINT(performance-no-int-to-ptr)
}

inline void node_delete(uint32_t link) noexcept
{
    ChScanNbrBss* p = node_at(link);
    if (!p) return;
    free(p);
    g_nodes.slot[link - 1] = 0;
    if (--g_nodes.live == 0) g_nodes.used = 0;
}

#endif

} // namespace lusl::scan
