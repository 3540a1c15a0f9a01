// The one style sheet and the one script the pages use, served by the program itself.
#pragma once

namespace assets {
extern const char kStyle[];
extern const char kScript[];
} // namespace assets
