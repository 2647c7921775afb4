#include "media/read_error.h"

#include <cstdio>

namespace media {

void reportReadError() { std::fputs("Error reading file\n", stdout); }

}  // namespace media
