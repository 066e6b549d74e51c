// CIniDocument::Load of any file, then Save; what was saved loads back as the
// same document.

#include <cstddef>
#include <cstdint>
#include <fstream>

#include "fuzz_support.h"
#include "ini/ini_document.h"

using namespace brevant;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto input = fuzz::ScratchDir() / "input.ini";
  static const auto saved = fuzz::ScratchDir() / "saved.ini";
  static const auto again = fuzz::ScratchDir() / "again.ini";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  CIniDocument document;
  if (!document.Load(input.string())) {
    BREVANT_FUZZ_CHECK(!document.LastErrorText().empty(), "a failed load gives no reason");
    BREVANT_FUZZ_CHECK(document.GetSectionNames().empty(), "a failed load keeps sections");
    return 0;
  }
  for (const std::string& name : document.GetSectionNames())
    BREVANT_FUZZ_CHECK(document.FindSection(name), "a listed section is not found");
  BREVANT_FUZZ_CHECK(document.Save(saved.string()), "the document cannot be saved");

  // A key that starts with '[' and a value that ends with ']' read back as a
  // section header: the format cannot tell them apart.
  const std::string savedText = testing::ReadBytes(saved);
  std::size_t headers = 0;
  for (const std::string_view line : fuzz::SplitParts(savedText, "\r\n", savedText.size() + 1))
    headers += line.starts_with("[") ? 1 : 0;
  if (headers != document.GetSectionNames().size())
    return 0;

  CIniDocument reloaded;
  BREVANT_FUZZ_CHECK(reloaded.Load(saved.string()), "the saved file does not load: %s",
                     reloaded.LastErrorText().c_str());
  BREVANT_FUZZ_CHECK(reloaded.Save(again.string()), "the reloaded document cannot be saved");
  BREVANT_FUZZ_CHECK(testing::ReadBytes(again) == savedText,
                     "the saved file loads back as another document");
  return 0;
}
