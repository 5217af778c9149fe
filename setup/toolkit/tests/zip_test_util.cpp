// A minimal zip writer with the PKWARE cipher, used only by the tests.
#include "zip_test_util.h"

#include <zlib.h>

#include <cstring>

namespace testzip {

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

class Cipher {
 public:
  explicit Cipher(const std::string& pw) : t_(get_crc_table()) {
    for (unsigned char c : pw) Update(c);
  }
  uint8_t Encrypt(uint8_t plain) {
    uint16_t t = static_cast<uint16_t>((k2_ | 2) & 0xFFFF);
    uint8_t c = static_cast<uint8_t>(plain ^ static_cast<uint8_t>((static_cast<uint32_t>(t) * (t ^ 1u)) >> 8));
    Update(plain);
    return c;
  }

 private:
  uint32_t Crc(uint32_t crc, uint8_t b) { return static_cast<uint32_t>(t_[(crc ^ b) & 0xFF]) ^ (crc >> 8); }
  void Update(uint8_t c) {
    k0_ = Crc(k0_, c);
    k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
    k2_ = Crc(k2_, static_cast<uint8_t>(k1_ >> 24));
  }
  const z_crc_t* t_;
  uint32_t k0_ = 0x12345678, k1_ = 0x23456789, k2_ = 0x34567890;
};

std::vector<uint8_t> RawDeflate(const std::string& data) {
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

}  // namespace

std::vector<uint8_t> Make(const std::vector<File>& files, const std::string& password) {
  std::vector<uint8_t> zip, central;
  for (size_t i = 0; i < files.size(); ++i) {
    const File& f = files[i];
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(f.data.data()), static_cast<uInt>(f.data.size())));
    std::vector<uint8_t> body = f.deflate ? RawDeflate(f.data) : std::vector<uint8_t>(f.data.begin(), f.data.end());
    uint16_t flags = 0;
    if (!password.empty()) {
      flags = 1;
      Cipher c(password);
      std::vector<uint8_t> enc;
      for (int k = 0; k < 11; ++k) enc.push_back(c.Encrypt(static_cast<uint8_t>(0x5A + 13 * k + i)));
      enc.push_back(c.Encrypt(static_cast<uint8_t>(crc >> 24)));
      for (uint8_t b : body) enc.push_back(c.Encrypt(b));
      body.swap(enc);
    }
    uint32_t offset = static_cast<uint32_t>(zip.size());
    uint16_t method = f.deflate ? 8 : 0;
    Put32(zip, 0x04034b50);
    Put16(zip, 20);
    Put16(zip, flags);
    Put16(zip, method);
    Put16(zip, 0x6000);  // time
    Put16(zip, 0x5A21);  // date
    Put32(zip, crc);
    Put32(zip, static_cast<uint32_t>(body.size()));
    Put32(zip, static_cast<uint32_t>(f.data.size()));
    Put16(zip, static_cast<uint32_t>(f.name.size()));
    Put16(zip, 0);
    zip.insert(zip.end(), f.name.begin(), f.name.end());
    zip.insert(zip.end(), body.begin(), body.end());

    Put32(central, 0x02014b50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, flags);
    Put16(central, method);
    Put16(central, 0x6000);
    Put16(central, 0x5A21);
    Put32(central, crc);
    Put32(central, static_cast<uint32_t>(body.size()));
    Put32(central, static_cast<uint32_t>(f.data.size()));
    Put16(central, static_cast<uint32_t>(f.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0);
    Put32(central, offset);
    central.insert(central.end(), f.name.begin(), f.name.end());
  }
  uint32_t cdOffset = static_cast<uint32_t>(zip.size());
  zip.insert(zip.end(), central.begin(), central.end());
  Put32(zip, 0x06054b50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<uint32_t>(files.size()));
  Put16(zip, static_cast<uint32_t>(files.size()));
  Put32(zip, static_cast<uint32_t>(central.size()));
  Put32(zip, cdOffset);
  Put16(zip, 0);
  return zip;
}

}  // namespace testzip
