#include "host/runtime/sha256.h"

#include <glib.h>

kcSha256::kcSha256() : checksum_(g_checksum_new(G_CHECKSUM_SHA256)) {}

kcSha256::~kcSha256() { g_checksum_free(checksum_); }

void kcSha256::add(const void* data, std::size_t n) {
  g_checksum_update(checksum_, static_cast<const guchar*>(data), static_cast<gssize>(n));
}

std::string kcSha256::hex() { return g_checksum_get_string(checksum_); }
