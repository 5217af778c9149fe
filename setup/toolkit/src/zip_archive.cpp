// Reading a zip archive from memory, with traditional PKWARE decryption
// and zlib inflation. Every field read from the archive is checked against
// the buffer before it is used.
#include "toolkit/resource.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace toolkit {

namespace {

const uint32_t kLocalSig = 0x04034b50;
const uint32_t kCentralSig = 0x02014b50;
const uint32_t kEndSig = 0x06054b50;
const size_t kEndSize = 22;
const size_t kCentralSize = 46;
const size_t kLocalSize = 30;
// Deflate cannot expand by more than about 1032:1; a larger claimed size
// is a lie, and no resource of ours comes near this absolute limit.
const uint64_t kMaxRatio = 1032;
const uint64_t kMaxEntrySize = 256u * 1024u * 1024u;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The three-key state of the traditional PKWARE cipher.
class ZipCrypto {
 public:
  explicit ZipCrypto(const std::string& password) : table_(get_crc_table()) {
    for (unsigned char c : password) Update(c);
  }
  uint8_t Decrypt(uint8_t c) {
    uint16_t t = static_cast<uint16_t>((k2_ | 2) & 0xFFFF);
    uint8_t plain = static_cast<uint8_t>(c ^ static_cast<uint8_t>((static_cast<uint32_t>(t) * (t ^ 1u)) >> 8));
    Update(plain);
    return plain;
  }

 private:
  uint32_t Crc(uint32_t crc, uint8_t b) const { return static_cast<uint32_t>(table_[(crc ^ b) & 0xFF]) ^ (crc >> 8); }
  void Update(uint8_t c) {
    k0_ = Crc(k0_, c);
    k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
    k2_ = Crc(k2_, static_cast<uint8_t>(k1_ >> 24));
  }
  const z_crc_t* table_;
  uint32_t k0_ = 0x12345678, k1_ = 0x23456789, k2_ = 0x34567890;
};

std::string NormalizeName(const std::string& name) {
  std::string n = name;
  std::replace(n.begin(), n.end(), '\\', '/');
  return n;
}

bool EqualsAsciiNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

// Reads the end record and the central directory; any inconsistency
// rejects the whole archive.
bool ZipArchive::Open(const void* data, size_t size, const std::string& password) {
  Close();
  if (!data || size < kEndSize) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  data_.assign(bytes, bytes + size);
  const uint8_t* p = data_.data();

  // The end record sits within the last 64 KiB + 22 bytes (its comment).
  size_t endPos = SIZE_MAX;
  size_t lowest = size > kEndSize + 0xFFFF ? size - kEndSize - 0xFFFF : 0;
  for (size_t i = size - kEndSize + 1; i-- > lowest;) {
    if (Get32(p + i) == kEndSig && i + kEndSize + Get16(p + i + 20) <= size) {
      endPos = i;
      break;
    }
  }
  if (endPos == SIZE_MAX) { Close(); return false; }
  uint16_t total = Get16(p + endPos + 10);
  uint32_t cdSize = Get32(p + endPos + 12);
  uint32_t cdOffset = Get32(p + endPos + 16);
  if (static_cast<uint64_t>(cdOffset) + cdSize > endPos) { Close(); return false; }

  size_t pos = cdOffset;
  size_t cdEnd = static_cast<size_t>(cdOffset) + cdSize;
  entries_.reserve(std::min<size_t>(total, cdSize / kCentralSize));
  for (uint16_t n = 0; n < total; ++n) {
    if (pos + kCentralSize > cdEnd || Get32(p + pos) != kCentralSig) { Close(); return false; }
    Entry e;
    e.flags = Get16(p + pos + 8);
    e.method = Get16(p + pos + 10);
    e.modTime = Get16(p + pos + 12);
    e.crc32 = Get32(p + pos + 16);
    e.compressedSize = Get32(p + pos + 20);
    e.size = Get32(p + pos + 24);
    size_t nameLen = Get16(p + pos + 28);
    size_t extraLen = Get16(p + pos + 30);
    size_t commentLen = Get16(p + pos + 32);
    e.localHeaderOffset = Get32(p + pos + 42);
    size_t next = pos + kCentralSize + nameLen + extraLen + commentLen;
    if (next > cdEnd) { Close(); return false; }
    e.name = NormalizeName(std::string(reinterpret_cast<const char*>(p + pos + kCentralSize), nameLen));
    entries_.push_back(std::move(e));
    pos = next;
  }
  password_ = password;
  open_ = true;
  return true;
}

void ZipArchive::Close() {
  data_.clear();
  data_.shrink_to_fit();
  entries_.clear();
  password_.clear();
  open_ = false;
}

const ZipArchive::Entry* ZipArchive::Find(const std::string& name) const {
  std::string n = NormalizeName(name);
  for (const auto& e : entries_)
    if (e.name == n) return &e;
  for (const auto& e : entries_)
    if (EqualsAsciiNoCase(e.name, n)) return &e;
  return nullptr;
}

bool ZipArchive::Read(const std::string& name, std::vector<uint8_t>& out) const {
  const Entry* e = Find(name);
  return e && Read(*e, out);
}

// Locates the data through the local header, decrypts, inflates into at
// most the declared size and checks the CRC.
bool ZipArchive::Read(const Entry& e, std::vector<uint8_t>& out) const {
  out.clear();
  if (!open_) return false;
  const uint8_t* p = data_.data();
  size_t size = data_.size();
  if (e.localHeaderOffset > size || size - e.localHeaderOffset < kLocalSize) return false;
  const uint8_t* lh = p + e.localHeaderOffset;
  if (Get32(lh) != kLocalSig) return false;
  uint64_t dataPos = static_cast<uint64_t>(e.localHeaderOffset) + kLocalSize + Get16(lh + 26) + Get16(lh + 28);
  if (dataPos > size || size - dataPos < e.compressedSize) return false;
  if (e.method != 0 && e.method != 8) return false;
  if (e.size > kMaxEntrySize) return false;
  if (e.method == 8 && e.size > static_cast<uint64_t>(e.compressedSize) * kMaxRatio + 1024) return false;

  const uint8_t* src = p + dataPos;
  size_t srcLen = e.compressedSize;
  std::vector<uint8_t> plain;
  if (e.encrypted()) {
    if (srcLen < 12) return false;
    ZipCrypto crypto(password_);
    uint8_t header[12];
    for (int i = 0; i < 12; ++i) header[i] = crypto.Decrypt(src[i]);
    uint8_t check = (e.flags & 0x8) ? static_cast<uint8_t>(e.modTime >> 8) : static_cast<uint8_t>(e.crc32 >> 24);
    if (header[11] != check) return false;  // wrong password (or damaged)
    plain.resize(srcLen - 12);
    for (size_t i = 12; i < srcLen; ++i) plain[i - 12] = crypto.Decrypt(src[i]);
    src = plain.data();
    srcLen = plain.size();
  }

  if (e.method == 0) {
    if (srcLen != e.size) return false;
    out.assign(src, src + srcLen);
  } else {
    out.resize(e.size);
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return false;
    zs.next_in = const_cast<Bytef*>(src);
    zs.avail_in = static_cast<uInt>(srcLen);
    uint8_t none = 0;  // zlib refuses a null output pointer even for 0 bytes
    zs.next_out = out.empty() ? &none : out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&zs, Z_FINISH);
    size_t produced = out.size() - zs.avail_out;
    inflateEnd(&zs);
    // Anything but a complete stream that fits exactly is a damaged entry
    // or a bomb claiming a small size.
    if (rc != Z_STREAM_END || produced != e.size) {
      out.clear();
      return false;
    }
  }
  uint32_t crc = static_cast<uint32_t>(crc32(0L, out.data(), static_cast<uInt>(out.size())));
  if (crc != e.crc32) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace toolkit
