// Reads the same cases as oracle.c with our reader and prints them the same way.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "records/private_profile.h"

static std::string unhex(const std::string& h) {
  std::string out;
  if (h == "-") return out;
  for (std::size_t i = 0; i + 1 < h.size(); i += 2)
    out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
  return out;
}

int main() {
  std::ifstream list("cases.txt");
  std::string section, key;
  for (int i = 0; list >> section >> key; ++i) {
    std::ifstream file("case" + std::to_string(i) + ".ini", std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    const std::string value = qm::readProfileString(bytes.str(), unhex(section), unhex(key), "DEF");
    std::printf("%d ", i);
    for (unsigned char c : value) std::printf("%02x", c);
    std::printf("\n");
  }
}
