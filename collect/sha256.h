// SHA-256 through OpenSSL, fed in pieces; Digest() may be taken along the way.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <string>

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t size);
    // The 32-byte digest of everything fed so far; feeding may go on afterwards.
    std::string Digest() const;

  private:
    EVP_MD_CTX* ctx_;
};

std::string Sha256Of(const void* data, size_t size);
