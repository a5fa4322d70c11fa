// SHA-256 (FIPS 180-4), for the digest of the registry and each finding's
// fingerprint in spauth verify --json: no cryptographic library is a
// dependency of spauth.
#ifndef ADMIN_SHA256_H
#define ADMIN_SHA256_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sha256 {

struct State {
	std::array<uint32_t, 8> h;
	std::array<unsigned char, 64> block;
	size_t used = 0;      // bytes in block
	uint64_t length = 0;  // bytes hashed in all
};

void init(State &s);
void update(State &s, std::string_view data);
// The digest as 64 lower-case hexadecimal digits; s is spent.
std::string hex(State &s);
std::string of(std::string_view data);

}  // namespace sha256

#endif
