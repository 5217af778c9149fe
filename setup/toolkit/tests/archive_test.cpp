// The zip reader: passwords, damaged and hostile archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "toolkit/resource.h"
#include "zip_test_util.h"

using toolkit::ZipArchive;

namespace {

const std::string kPassword = "wkq19990517";

const std::vector<testzip::File> kFiles = {{"res.xml", "<Res><Xml id=\"XML_MAIN\" path=\"main.xml\"/></Res>", true},
                                           {"main.xml", std::string(5000, 'm'), true},
                                           {"common/stored.txt", "stored bytes", false},
                                           {"empty.txt", "", true}};

std::vector<uint8_t> Sample(const std::string& password) { return testzip::Make(kFiles, password); }

std::string Read(const ZipArchive& zip, const std::string& name) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(zip.Read(name, out)) << name;
  return std::string(out.begin(), out.end());
}

uint32_t Get32(const std::vector<uint8_t>& v, size_t at) {
  return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (static_cast<uint32_t>(v[at + 3]) << 24);
}
void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
// Offset of the first central directory record.
size_t CentralOffset(const std::vector<uint8_t>& v) { return Get32(v, v.size() - 22 + 16); }

}  // namespace

TEST(ZipArchive, ReadsEncryptedStoredAndDeflatedEntries) {
  auto bytes = Sample(kPassword);
  ZipArchive zip;
  ASSERT_TRUE(zip.Open(bytes.data(), bytes.size(), kPassword));
  EXPECT_EQ(Read(zip, "main.xml"), std::string(5000, 'm'));
  EXPECT_EQ(Read(zip, "common/stored.txt"), "stored bytes");
  EXPECT_EQ(Read(zip, "empty.txt"), "");
  // Lookups accept Windows separators and any case.
  EXPECT_EQ(Read(zip, "COMMON\\Stored.TXT"), "stored bytes");
}

TEST(ZipArchive, ReadsUnencryptedArchive) {
  auto bytes = Sample("");
  ZipArchive zip;
  ASSERT_TRUE(zip.Open(bytes.data(), bytes.size(), "ignored"));
  EXPECT_EQ(Read(zip, "common/stored.txt"), "stored bytes");
}

TEST(ZipArchive, WrongPasswordAndMissingEntryFail) {
  auto bytes = Sample(kPassword);
  ZipArchive zip;
  ASSERT_TRUE(zip.Open(bytes.data(), bytes.size(), "wkq19990518"));
  std::vector<uint8_t> out;
  EXPECT_FALSE(zip.Read("main.xml", out));
  EXPECT_FALSE(zip.Read("common/stored.txt", out));
  EXPECT_TRUE(out.empty());
  ZipArchive right;
  ASSERT_TRUE(right.Open(bytes.data(), bytes.size(), kPassword));
  EXPECT_FALSE(right.Read("no/such.xml", out));
}

TEST(ZipArchive, KeepsItsOwnCopyOfTheBytes) {
  auto bytes = Sample(kPassword);
  ZipArchive zip;
  ASSERT_TRUE(zip.Open(bytes.data(), bytes.size(), kPassword));
  std::fill(bytes.begin(), bytes.end(), 0);
  EXPECT_EQ(Read(zip, "common/stored.txt"), "stored bytes");
}

TEST(ZipArchive, RejectsDamagedArchives) {
  auto bytes = Sample(kPassword);
  ZipArchive zip;
  EXPECT_FALSE(zip.Open(bytes.data(), 10, kPassword));           // too short
  EXPECT_FALSE(zip.Open(bytes.data(), bytes.size() / 2, kPassword));  // no end record
  EXPECT_FALSE(zip.Open(nullptr, 100, kPassword));

  // A flipped byte inside the stored entry's data fails its CRC.
  auto corrupt = Sample("");
  auto pos = std::search(corrupt.begin(), corrupt.end(), std::begin("stored bytes"), std::end("stored bytes") - 1);
  ASSERT_NE(pos, corrupt.end());
  *pos ^= 0x20;
  ASSERT_TRUE(zip.Open(corrupt.data(), corrupt.size(), ""));
  std::vector<uint8_t> out;
  EXPECT_FALSE(zip.Read("common/stored.txt", out));
}

TEST(ZipArchive, RejectsHostileSizesAndOffsets) {
  auto base = Sample(kPassword);
  size_t cd = CentralOffset(base);  // the first record is res.xml
  std::vector<uint8_t> out;

  auto huge = base;
  Put32(huge, cd + 24, 0x7FFFFFFF);  // claimed uncompressed size
  ZipArchive zip;
  ASSERT_TRUE(zip.Open(huge.data(), huge.size(), kPassword));
  EXPECT_FALSE(zip.Read("res.xml", out));

  auto far = base;
  Put32(far, cd + 42, 0xFFFFFFF0);  // local header offset outside the buffer
  ASSERT_TRUE(zip.Open(far.data(), far.size(), kPassword));
  EXPECT_FALSE(zip.Read("res.xml", out));

  auto longName = base;
  longName[cd + 28] = 0xFF;  // name length running past the directory
  longName[cd + 29] = 0xFF;
  EXPECT_FALSE(zip.Open(longName.data(), longName.size(), kPassword));

  auto count = base;
  count[count.size() - 22 + 10] = 0xFF;  // more entries than the directory holds
  EXPECT_FALSE(zip.Open(count.data(), count.size(), kPassword));

  auto comp = base;
  Put32(comp, cd + 20, 0x7FFFFFF0);  // compressed size past the end
  ASSERT_TRUE(zip.Open(comp.data(), comp.size(), kPassword));
  EXPECT_FALSE(zip.Read("res.xml", out));
}

TEST(ZipArchive, StopsAZipBombAtTheDeclaredSize) {
  auto bomb = testzip::Make({{"bomb.bin", std::string(4 << 20, '\0'), true}}, "");
  size_t cd = CentralOffset(bomb);
  Put32(bomb, cd + 24, 1000);  // claims 1000 bytes
  ZipArchive zip;
  ASSERT_TRUE(zip.Open(bomb.data(), bomb.size(), ""));
  std::vector<uint8_t> out;
  EXPECT_FALSE(zip.Read("bomb.bin", out));
  EXPECT_TRUE(out.empty());
}

// Random byte changes and truncations of an archive opened with its own
// password, so that the mutations reach decryption, inflation and the CRC:
// every entry is either refused with nothing returned or read back exactly
// as written (the sanitizer build also checks every memory access).
TEST(ZipArchive, MutatedArchivesAreRefusedOrReadBackExactly) {
  const auto base = Sample(kPassword);
  std::mt19937 rng(12345);
  int openedAndRead = 0, refusedEntries = 0;
  for (int round = 0; round < 3000; ++round) {
    auto m = base;
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      size_t at = rng() % m.size();
      switch (rng() % 4) {
        case 0: m[at] = static_cast<uint8_t>(rng()); break;
        case 1: m[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
        case 2: m[at] = (rng() % 2) ? 0xFF : 0x00; break;
        default: m.resize(std::max<size_t>(1, m.size() - rng() % 64)); break;
      }
    }
    ZipArchive zip;
    if (!zip.Open(m.data(), m.size(), kPassword)) {
      EXPECT_TRUE(zip.Entries().empty());
      continue;
    }
    for (const auto& entry : zip.Entries()) {
      std::vector<uint8_t> out;
      if (!zip.Read(entry, out)) {
        EXPECT_TRUE(out.empty()) << "round " << round << " " << entry.name;
        ++refusedEntries;
        continue;
      }
      ++openedAndRead;
      // A damaged name may still point at intact data: it must be one of ours.
      std::string got(out.begin(), out.end());
      auto same = std::find_if(kFiles.begin(), kFiles.end(), [&](const auto& f) { return f.name == entry.name; });
      if (same != kFiles.end()) {
        EXPECT_EQ(got, same->data) << "round " << round << " " << entry.name;
      } else {
        EXPECT_TRUE(std::any_of(kFiles.begin(), kFiles.end(), [&](const auto& f) { return f.data == got; }))
            << "round " << round << " " << entry.name;
      }
    }
  }
  // Both outcomes occur, so the checks above were reached.
  EXPECT_GT(openedAndRead, 1000);
  EXPECT_GT(refusedEntries, 1000);
}
