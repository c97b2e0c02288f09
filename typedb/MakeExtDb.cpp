// Build-time compiler of the type database: reads the text table
// (ExtTable.txt) and writes its records in the 284-byte format.
//
//   ravo-make-extdb TABLE OUTPUT
//
// Lines: "extension | signature offset | signature bytes in hex | description",
// "-" for no signature; "#" starts a comment line. Any malformed line stops
// the build with its line number, and no output is written.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fsutil/PathText.h"
#include "typedb/ExtRecord.h"

namespace ravo {
namespace {

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  // The description is the last field and may hold '|' itself.
  for (int i = 0; i < 3; ++i) {
    std::size_t bar = line.find('|', start);
    if (bar == std::string::npos) break;
    fields.push_back(TrimControls(std::string_view(line).substr(start, bar - start)));
    start = bar + 1;
  }
  fields.push_back(TrimControls(std::string_view(line).substr(start)));
  return fields;
}

std::string ParseHex(const std::string& text) {
  if (text == "-") return {};
  std::istringstream in(text);
  std::string bytes, pair;
  while (in >> pair) {
    if (pair.size() != 2 || pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      throw std::invalid_argument("not a hex byte: " + pair);
    }
    bytes.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
  }
  if (bytes.empty()) throw std::invalid_argument("no signature bytes (write - for none)");
  return bytes;
}

// The record of one table line, checked against the limits of the format and
// against mistakes that would make it useless.
std::string RecordOf(const std::string& line) {
  std::vector<std::string> fields = SplitFields(line);
  if (fields.size() != 4) throw std::invalid_argument("expected 4 fields separated by |");
  TExtInfo info;
  info.Ext = fields[0];
  info.SigOffset = std::stoi(fields[1]);
  info.Signature = ParseHex(fields[2]);
  info.SigLen = static_cast<std::int32_t>(info.Signature.size());
  info.Description = fields[3];

  bool family = !info.Ext.empty() && info.Ext[0] == '*';
  if (!family && (info.Ext.empty() || info.Ext[0] != '.' || LowerAscii(info.Ext) != info.Ext)) {
    throw std::invalid_argument("extension must start with a dot and be lower case");
  }
  if (family && info.SigLen == 0) throw std::invalid_argument("a family needs a signature");
  if (IsBlank(info.Description)) throw std::invalid_argument("blank description");
  std::string bytes = EncodeExtRecord(info);
  if (!DecodeExtRecord(bytes)) throw std::invalid_argument("signature outside the 51-byte header");
  return bytes;
}

int Compile(const char* tablePath, const char* outputPath) {
  std::ifstream table(tablePath);
  if (!table) {
    std::cerr << tablePath << ": cannot read\n";
    return 1;
  }
  std::string database, line;
  for (int number = 1; std::getline(table, line); ++number) {
    std::string trimmed = TrimControls(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    try {
      database += RecordOf(trimmed);
    } catch (const std::exception& error) {
      std::cerr << tablePath << ":" << number << ": " << error.what() << "\n";
      return 1;
    }
  }
  std::ofstream out(outputPath, std::ios::binary | std::ios::trunc);
  out.write(database.data(), static_cast<std::streamsize>(database.size()));
  out.close();
  if (!out) {
    std::cerr << outputPath << ": cannot write\n";
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace ravo

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: ravo-make-extdb TABLE OUTPUT\n";
    return 2;
  }
  return ravo::Compile(argv[1], argv[2]);
}
