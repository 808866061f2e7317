// SPDX-License-Identifier: GPL-3.0-or-later
// The reader of the previous format: a file it converts must open and list
// in the current format without a complaint.
#include <string>

#include "catalogue/conversion.h"
#include "catalogue/engine.h"
#include "fuzz_support.h"
#include "support/fake_host.h"
#include "targets.h"

namespace rondo::fuzz {

int ConversionTarget(const std::uint8_t* data, std::size_t size) {
  ClearScratch();
  const std::string path = ScratchPath("stary.big");
  WriteFile(path, data, size);
  std::uint64_t discs = 0;
  ConversionProgress progress;
  progress.disc = [&](const std::string&, std::uint64_t) { ++discs; };
  progress.converted = [](std::uint64_t) {};
  try {
    ConvertOldCatalogue(path, progress);
  } catch (const std::exception&) {
    // Refused: the file must be as it was.
    const std::string after = ReadFile(path);
    Check(after == std::string(reinterpret_cast<const char*>(data), size),
          "a refused conversion changed the file");
    return 0;
  }

  test::FakeHost host;
  Engine engine(host);
  engine.DatabasePath = path;
  try {
    engine.RunOperation(OperationCode::kListCds);
    engine.RunOperation(OperationCode::kDatabaseStatistics);
  } catch (const std::exception& e) {
    Fail(std::string("the converted catalogue cannot be read: ") + e.what());
  }
  for (const auto& text : host.messages)
    Fail("listing the converted catalogue said: " + text);
  Check(host.questions.empty(), "the converted catalogue is not in the current format");
  Check(
      engine.Statistics.discs + engine.Statistics.multigroups + engine.Statistics.audioCds == discs,
      "the converted catalogue holds another number of discs");
  return 0;
}

}  // namespace rondo::fuzz
