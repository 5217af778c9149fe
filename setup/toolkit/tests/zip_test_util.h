// Builds zip archives in memory for the tests: stored or deflated entries,
// optionally encrypted with the traditional PKWARE cipher.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testzip {

struct File {
  std::string name;
  std::string data;
  bool deflate = true;
};

// password empty: no encryption.
std::vector<uint8_t> Make(const std::vector<File>& files, const std::string& password);

}  // namespace testzip
