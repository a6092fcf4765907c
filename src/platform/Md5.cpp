#include "platform/Md5.h"

#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>

Md5::Md5()
{
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        m_failed = true;
        return;
    }
    m_provider = reinterpret_cast<void*>(provider);
    if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        m_failed = true;
        return;
    }
    m_state = reinterpret_cast<void*>(hash);
}

Md5::~Md5()
{
    if (m_state)
        CryptDestroyHash(reinterpret_cast<HCRYPTHASH>(m_state));
    if (m_provider)
        CryptReleaseContext(reinterpret_cast<HCRYPTPROV>(m_provider), 0);
}

void Md5::Update(const void* data, size_t size)
{
    const BYTE* p = static_cast<const BYTE*>(data);
    // CryptHashData takes a DWORD length; feed large buffers in slices.
    const size_t kSlice = 0x40000000;
    while (!m_failed && size > 0) {
        size_t n = size < kSlice ? size : kSlice;
        if (!CryptHashData(reinterpret_cast<HCRYPTHASH>(m_state), p, static_cast<DWORD>(n), 0))
            m_failed = true;
        p += n;
        size -= n;
    }
}

bool Md5::Final(unsigned char digest[16])
{
    if (m_failed)
        return false;
    DWORD length = 16;
    if (!CryptGetHashParam(reinterpret_cast<HCRYPTHASH>(m_state), HP_HASHVAL, digest, &length, 0) || length != 16) {
        m_failed = true;
        return false;
    }
    m_failed = true; // a hash object gives its value once
    return true;
}

#else
#include <openssl/evp.h>

Md5::Md5()
{
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    if (!ctx || EVP_DigestInit_ex(ctx, EVP_md5(), nullptr) != 1)
        m_failed = true;
    m_state = ctx;
}

Md5::~Md5() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_state)); }

void Md5::Update(const void* data, size_t size)
{
    if (!m_failed && EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(m_state), data, size) != 1)
        m_failed = true;
}

bool Md5::Final(unsigned char digest[16])
{
    if (m_failed)
        return false;
    unsigned int length = 0;
    bool ok = EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(m_state), digest, &length) == 1 && length == 16;
    m_failed = true;
    return ok;
}
#endif

bool Md5Digest(const void* data, size_t size, unsigned char digest[16])
{
    Md5 md5;
    md5.Update(data, size);
    return md5.Final(digest);
}
