/* SPDX-License-Identifier: BSD-2-Clause */
// Links of the scan record's neighbour lists: the 4-byte head/next fields.
//
// On the 32-bit target a link is the node's address, as the layout was made for. Wider
// hosts cannot fit an address in 4 bytes, so there a link is 1 + the node's index in a
// growable table of node addresses. A slot is held from the node's allocation to its
// release and reused by the next node, so the table is as large as the most nodes alive at
// once, whatever the records that hold them. A table that cannot grow is a failed
// allocation, like a failed calloc.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "core/core.h"
#include "luSL/luSL.h"

namespace lusl::scan {

struct NewNode {
    ChScanNbrBss* node; // zero-filled; nullptr when out of memory or links
    uint32_t link;
};

#if UINTPTR_MAX <= 0xFFFFFFFFu

[[gnu::always_inline]] inline NewNode node_new() noexcept
{
    auto* p = static_cast<ChScanNbrBss*>(calloc(1, sizeof(ChScanNbrBss)));
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

// Slots hold node addresses inverted (low bit 1: calloc aligns for any type); a free slot
// holds the link of the next free one shifted left (low bit 0). A leak checker does not
// follow inverted addresses, so a node whose record went without a clear shows up as a
// leak, as it does on the target. The slot array lives only while some node does.
struct NodeTable {
    uintptr_t* slot;
    uint32_t cap;       // slots allocated
    uint32_t top;       // slots handed out at least once
    uint32_t free_head; // link of the last released slot, 0 when none
    uint32_t live;
};
extern NodeTable g_nodes LUSL_HIDDEN;

// Out of line: taken once per 64 new slots at most.
bool grow_table() noexcept;
void drop_table() noexcept;

[[gnu::always_inline]] inline NewNode node_new() noexcept
{
    NodeTable& t = g_nodes;
    if (t.free_head == 0 && t.top == t.cap && !grow_table()) return {nullptr, 0};
    auto* p = static_cast<ChScanNbrBss*>(calloc(1, sizeof(ChScanNbrBss)));
    if (!p) {
        if (t.live == 0) drop_table();
        return {nullptr, 0};
    }
    uint32_t link;
    if (t.free_head) {
        link = t.free_head;
        t.free_head = static_cast<uint32_t>(t.slot[link - 1] >> 1);
    } else {
        link = ++t.top;
    }
    t.slot[link - 1] = ~reinterpret_cast<uintptr_t>(p);
    ++t.live;
    return {p, link};
}

// nullptr for 0 and for a link whose node was released.
[[gnu::always_inline]] inline ChScanNbrBss* node_at(uint32_t link) noexcept
{
    const NodeTable& t = g_nodes;
    if (link == 0 || link > t.top) return nullptr;
    const uintptr_t v = t.slot[link - 1];
    if (!(v & 1)) return nullptr;
    return reinterpret_cast<ChScanNbrBss*>(~v); // NOLINT(performance-no-int-to-ptr)
}

// Releases the node p that node_at(link) gave.
inline void node_delete(uint32_t link, ChScanNbrBss* p) noexcept
{
    free(p);
    NodeTable& t = g_nodes;
    t.slot[link - 1] = static_cast<uintptr_t>(t.free_head) << 1;
    t.free_head = link;
    if (--t.live == 0) drop_table();
}

#endif

} // namespace lusl::scan
