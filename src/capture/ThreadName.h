// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace pelmora {

/// Names the calling thread as `top` and `ps -L` show it (at most 15 bytes are kept).
void NameCurrentThread(const char* name);

}  // namespace pelmora
