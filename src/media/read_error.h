// The show's one message for a data file it cannot read: a texture, a scene or the brush
// that is missing, is not a regular file, or whose pixels find no memory. The message is
// "Error reading file" on a line of its own on standard output; the caller goes on with
// what it has (an empty texture, an empty scene, a transparent brush).
#pragma once

namespace media {

void reportReadError();

}  // namespace media
