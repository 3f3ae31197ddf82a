/* SPDX-License-Identifier: BSD-2-Clause */
// Links of the scan record's neighbour lists: the 4-byte head/next fields.
//
// On the 32-bit target a link is the node's address, as the layout was made for. Wider
// hosts cannot fit an address in 4 bytes. There nearly every node lies within 2 GiB of the
// first one the process allocated, and its link is its distance from a base just below that
// node: a multiple of 16 plus 8 (malloc aligns to 16), so never 0 and always even. Any other
// node takes a slot of a growable table of node addresses, and its link is odd. A slot is
// held from the node's allocation to its release and reused by the next such node; a table
// that cannot grow is a failed allocation, like a failed malloc.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "core/bytes.h"
#include "core/core.h"
#include "luSL/luSL.h"

namespace lusl::scan {

struct NewNode {
    ChScanNbrBss* node; // zero-filled; nullptr when out of memory or links
    uint32_t link;
};

// Nodes are taken with malloc and zero-filled here, in a few stores.
[[gnu::always_inline]] inline ChScanNbrBss* node_alloc() noexcept
{
    auto* p = static_cast<ChScanNbrBss*>(malloc(sizeof(ChScanNbrBss)));
    if (p) zero_fixed<sizeof(ChScanNbrBss)>(p);
    return p;
}

#if UINTPTR_MAX <= 0xFFFFFFFFu

[[gnu::always_inline]] inline NewNode node_new() noexcept
{
    ChScanNbrBss* p = node_alloc();
    return {p, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))};
}

[[gnu::always_inline]] inline ChScanNbrBss* node_at(uint32_t link) noexcept
{
    // The link is the address: the conversion is the layout's own.
    return reinterpret_cast<ChScanNbrBss*>(static_cast<uintptr_t>(link)); // NOLINT(performance-no-int-to-ptr)
}

// Releases the node p that node_at(link) gave.
inline void node_delete(uint32_t, ChScanNbrBss* p) noexcept { free(p); }

#else

// The base is kept negated and slots hold addresses inverted (low bit 1): a leak checker
// follows neither, so a node whose record went without a clear shows up as a leak, as it
// does on the target. A free slot holds the link of the next free one shifted left (low bit
// 0). The slot array lives only while some node of the table does.
struct NodeTable {
    uintptr_t neg_base; // minus the base; kNoBase until the first node
    uintptr_t* slot;
    uint32_t cap;       // slots allocated
    uint32_t top;       // slots handed out at least once
    uint32_t free_head; // link of the last released slot, 0 when none
    uint32_t live;
};
extern NodeTable g_nodes LUSL_HIDDEN;

// Far from any address, so that no distance fits before the base is chosen.
inline constexpr uintptr_t kNoBase = uintptr_t{1} << 62;

// Out of line, for the nodes whose distance does not make a link.
NewNode table_node(ChScanNbrBss* p) noexcept;
ChScanNbrBss* table_at(uint32_t link) noexcept;
void table_release(uint32_t link) noexcept;

[[gnu::always_inline]] inline NewNode node_new() noexcept
{
    ChScanNbrBss* p = node_alloc();
    if (!p) return {nullptr, 0};
    const uintptr_t d = reinterpret_cast<uintptr_t>(p) + g_nodes.neg_base;
    const auto link = static_cast<uint32_t>(d);
    if (static_cast<uintptr_t>(static_cast<int32_t>(link)) == d && (link & 15) == 8) return {p, link};
    return table_node(p);
}

// nullptr for 0, and for a table link whose node was released.
[[gnu::always_inline]] inline ChScanNbrBss* node_at(uint32_t link) noexcept
{
    if (link & 1) return table_at(link);
    if (link == 0) return nullptr;
    const uintptr_t p = static_cast<uintptr_t>(static_cast<int32_t>(link)) - g_nodes.neg_base;
    return reinterpret_cast<ChScanNbrBss*>(p); // NOLINT(performance-no-int-to-ptr)
}

// Releases the node p that node_at(link) gave.
[[gnu::always_inline]] inline void node_delete(uint32_t link, ChScanNbrBss* p) noexcept
{
    free(p);
    if (link & 1) table_release(link);
}

#endif

} // namespace lusl::scan
