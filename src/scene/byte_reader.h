// A bounded cursor over bytes in memory, the only way the scene loader reads data.
// Every read checks what is left: a read that does not fit returns false and leaves
// the cursor where it was, so no read can go beyond the data. Numbers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace scene {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t offset() const { return offset_; }
    std::size_t remaining() const { return bytes_.size() - offset_; }

    // The next `count` bytes, or nullptr (cursor unchanged) when fewer are left.
    const std::uint8_t* take(std::size_t count) {
        if (count > remaining()) return nullptr;
        const std::uint8_t* at = bytes_.data() + offset_;
        offset_ += count;
        return at;
    }

    bool readU8(std::uint8_t& value) {
        const std::uint8_t* at = take(1);
        if (at == nullptr) return false;
        value = at[0];
        return true;
    }

    bool readU16(std::uint16_t& value) {
        const std::uint8_t* at = take(2);
        if (at == nullptr) return false;
        value = u16At(at);
        return true;
    }

    bool skip(std::size_t count) { return take(count) != nullptr; }

    static std::uint16_t u16At(const std::uint8_t* at) {
        return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t offset_ = 0;
};

}  // namespace scene
