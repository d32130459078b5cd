#pragma once
// MD5 message digest as published in RFC 1321: initialise, add bytes, finish.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CMD5 final {
public:
    CMD5();
    void Update(const void *data, std::size_t length);
    // Writes the 16-byte digest; the object must be re-initialised before reuse.
    void Final(std::uint8_t digest[16]);
    void Init();

private:
    void Transform(const std::uint8_t block[64]);

    std::uint32_t m_state[4];
    std::uint64_t m_bitCount;
    std::uint8_t m_buffer[64];
};

// The digest of the text in 32 lowercase hex digits, as HTTP digest logins write it.
std::string Md5Hex(std::string_view text);
