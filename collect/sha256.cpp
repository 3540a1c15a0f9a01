#include "collect/sha256.h"

Sha256::Sha256() : ctx_(EVP_MD_CTX_new()) {
    EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr);
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(ctx_);
}

void Sha256::Update(const void* data, size_t size) {
    EVP_DigestUpdate(ctx_, data, size);
}

std::string Sha256::Digest() const {
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_MD_CTX_copy_ex(copy, ctx_);
    EVP_DigestFinal_ex(copy, out, &n);
    EVP_MD_CTX_free(copy);
    return std::string(reinterpret_cast<char*>(out), n);
}

std::string Sha256Of(const void* data, size_t size) {
    Sha256 sha;
    sha.Update(data, size);
    return sha.Digest();
}
