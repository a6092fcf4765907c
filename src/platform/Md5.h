// MD5 (RFC 1321) through the platform's own implementation: CryptoAPI on
// Windows, libcrypto elsewhere. Incremental, so tools can hash as they write.
#pragma once
#include <cstddef>

class Md5 {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void Update(const void* data, size_t size);
    // Writes the digest; false when the platform could not compute it.
    bool Final(unsigned char digest[16]);

private:
    void* m_state = nullptr;
    void* m_provider = nullptr;
    bool m_failed = false;
};

bool Md5Digest(const void* data, size_t size, unsigned char digest[16]);
