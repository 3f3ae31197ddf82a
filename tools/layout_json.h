/* SPDX-License-Identifier: BSD-2-Clause */
// The layout description for readers outside C: one JSON document, or a readable listing.
#pragma once

#include <iosfwd>

#include "printers.h"

namespace lusl::tool::layout {

Json to_json();
void print_listing(std::ostream& out);

} // namespace lusl::tool::layout
