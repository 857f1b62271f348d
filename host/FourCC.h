// Four-character codes as people read them in messages and listings.
#pragma once

#include <cstdint>
#include <string>

// The four characters of a code ("aufx", or 'aufx' when quoted), or its
// decimal number, never quoted, when one of them is not printable ASCII.
std::string FourCCText(uint32_t code, bool quoted = false);
