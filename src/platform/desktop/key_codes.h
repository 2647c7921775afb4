// Key numbering of the keyboard snapshot: the show indexes its 256 key bytes by the
// classic set-1 scan code numbering (Escape 1, Return 28, left arrow 0xCB...), while SDL
// numbers keys by USB usage. This table turns one into the other.
#pragma once

#include <cstdint>

namespace platform {

// The snapshot: one byte per key code, bit 7 (keyDown) set while the key is down.
inline constexpr std::uint32_t keyboardStateSize = 256;
inline constexpr std::uint8_t keyDown = 0x80;

// The one key the show looks at, by its number in the DirectInput (DIK_) numbering.
inline constexpr int DIK_ESCAPE = 0x01;

// The 256-entry key code for an SDL scancode; 0 for keys the numbering has no code for
// and for values outside SDL's scancode range.
std::uint8_t keyCodeForScancode(int scancode);

// Fills `keys` (256 bytes) from SDL's key array (`count` entries, nonzero = down):
// bit 7 set for every key that is down, every other byte 0.
void fillKeyState(const std::uint8_t* sdlKeys, int count, std::uint8_t* keys);

}  // namespace platform
