#include "fileio/content_hash.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "fileio/io_error.hpp"

namespace vindrel {
namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t rotate_right(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// SHA-256 as FIPS 180-4 defines it, fed in pieces of any size.
class Sha256 {
 public:
  void update(const unsigned char* data, std::size_t size) {
    length_ += size;
    while (size > 0) {
      const std::size_t take = std::min(size, block_.size() - used_);
      std::copy_n(data, take, block_.begin() + static_cast<std::ptrdiff_t>(used_));
      used_ += take;
      data += take;
      size -= take;
      if (used_ == block_.size()) {
        compress();
        used_ = 0;
      }
    }
  }

  std::string hex_digest() {
    const std::uint64_t bits = length_ * 8;
    const unsigned char one = 0x80;
    const unsigned char zero = 0;
    update(&one, 1);
    while (used_ != 56) update(&zero, 1);
    unsigned char size[8];
    for (int i = 0; i < 8; ++i) size[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    update(size, 8);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint32_t word : state_) {
      for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(word >> shift) & 0xf];
    }
    return text;
  }

 private:
  void compress() {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) {
      w[i] = static_cast<std::uint32_t>(block_[4 * i]) << 24 |
             static_cast<std::uint32_t>(block_[4 * i + 1]) << 16 |
             static_cast<std::uint32_t>(block_[4 * i + 2]) << 8 | block_[4 * i + 3];
    }
    for (int i = 16; i < 64; ++i) {
      const std::uint32_t s0 =
          rotate_right(w[i - 15], 7) ^ rotate_right(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const std::uint32_t s1 =
          rotate_right(w[i - 2], 17) ^ rotate_right(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::array<std::uint32_t, 8> v = state_;
    for (int i = 0; i < 64; ++i) {
      const std::uint32_t s1 =
          rotate_right(v[4], 6) ^ rotate_right(v[4], 11) ^ rotate_right(v[4], 25);
      const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
      const std::uint32_t t1 =
          v[7] + s1 + choice + kRoundConstants[static_cast<std::size_t>(i)] + w[i];
      const std::uint32_t s0 =
          rotate_right(v[0], 2) ^ rotate_right(v[0], 13) ^ rotate_right(v[0], 22);
      const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
      const std::uint32_t t2 = s0 + majority;
      for (int k = 7; k > 0; --k)
        v[static_cast<std::size_t>(k)] = v[static_cast<std::size_t>(k - 1)];
      v[4] += t1;
      v[0] = t1 + t2;
    }
    for (std::size_t k = 0; k < 8; ++k) state_[k] += v[k];
  }

  std::array<std::uint32_t, 8> state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                         0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::array<unsigned char, 64> block_{};
  std::size_t used_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace

std::string sha256_hex(std::string_view bytes) {
  Sha256 hash;
  hash.update(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return hash.hex_digest();
}

std::string file_sha256(const std::string& file_name) {
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file_name.c_str(), "rb"),
                                                         &std::fclose);
  if (!stream) throw_io_error(errno != 0 ? errno : ENOENT, file_name);
  Sha256 hash;
  unsigned char buffer[64 * 1024];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, stream.get())) > 0) hash.update(buffer, read);
  if (std::ferror(stream.get())) throw_io_error(errno != 0 ? errno : EIO, file_name);
  return hash.hex_digest();
}

}  // namespace vindrel
