// The zip reader on arbitrary bytes, opened with the password the seeds
// were written with: every entry is refused with nothing returned, or read
// back at its declared size and CRC.
#include <zlib.h>

#include "fuzz_check.h"
#include "toolkit/resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  toolkit::ZipArchive zip;
  if (!zip.Open(data, size, "fuzz")) {
    FUZZ_CHECK(zip.Entries().empty() && !zip.IsOpen());
    return 0;
  }
  std::vector<uint8_t> out;
  for (const auto& entry : zip.Entries()) {
    FUZZ_CHECK(zip.Find(entry.name) != nullptr);
    if (!zip.Read(entry, out)) {
      FUZZ_CHECK(out.empty());
      continue;
    }
    FUZZ_CHECK(out.size() == entry.size);
    FUZZ_CHECK(crc32(0, out.data(), static_cast<uInt>(out.size())) == entry.crc32);
  }
  return 0;
}
