// A configuration file in JSON form: the template fields read from any text,
// and the text rewritten from a row that is also taken from the input.
// Input: the file's text, kPartSeparator, the row (see ParseRowText).

#include <json/value.h>

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "tailoring/json_config.h"

using namespace brevant;

namespace {

bool IsIntegerOrNull(const Json::Value& value) {
  return value.isNull() || value.type() == Json::intValue || value.type() == Json::uintValue;
}

// The rewritten document has the source's shape: no member or element added
// or dropped, no type changed except what a text or number member may become.
bool SameShape(const Json::Value& source, const Json::Value& rewritten) {
  if (source.type() != rewritten.type()) {
    return IsIntegerOrNull(source) &&
           (rewritten.type() == Json::stringValue || rewritten.type() == Json::intValue);
  }
  if (source.isArray()) {
    if (source.size() != rewritten.size())
      return false;
    for (Json::ArrayIndex i = 0; i < source.size(); ++i) {
      if (!SameShape(source[i], rewritten[i]))
        return false;
    }
  } else if (source.isObject()) {
    if (source.getMemberNames() != rewritten.getMemberNames())
      return false;
    for (const std::string& name : source.getMemberNames()) {
      if (!SameShape(source[name], rewritten[name]))
        return false;
    }
  }
  return true;
}

Json::Value Reparsed(const std::string& text, const char* what) {
  JsonDocument document;
  BREVANT_FUZZ_CHECK(document.LoadText(text), "%s does not parse: %s", what,
                     document.error().c_str());
  return document.root();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), fuzz::kPartSeparator, 2);
  const std::string source(parts[0]);
  const DeviceFieldRecord row = fuzz::ParseRowText(parts.size() > 1 ? parts[1] : "");

  DeviceFieldRecord fields;
  std::string error;
  if (ReadJsonTemplateText(source, fields, error)) {
    BREVANT_FUZZ_CHECK(fields.wanCount >= 0 && fields.wanCount <= kMaxWanEntries,
                       "the template has %d WAN entries", fields.wanCount);
  } else {
    BREVANT_FUZZ_CHECK(!error.empty(), "a template that cannot be read gives no reason");
    BREVANT_FUZZ_CHECK(fields.wanCount == 0 && fields.loid.empty() && fields.ssid_24g.empty(),
                       "a template that cannot be read leaves fields");
  }

  std::string output;
  error.clear();
  if (!RewriteJsonText(source, row, output, error)) {
    BREVANT_FUZZ_CHECK(!error.empty(), "a failed rewrite gives no reason");
    return 0;
  }
  const Json::Value before = Reparsed(source, "the source");
  const Json::Value after = Reparsed(output, "the rewritten file");
  BREVANT_FUZZ_CHECK(SameShape(before, after), "the rewrite changed the document's shape");

  // Rewriting the rewritten file from the same row changes no value.
  std::string second;
  BREVANT_FUZZ_CHECK(RewriteJsonText(output, row, second, error), "the rewritten file fails: %s",
                     error.c_str());
  BREVANT_FUZZ_CHECK(Reparsed(second, "the file rewritten twice") == after,
                     "a second rewrite from the same row changes values");

  // A row without columns or WAN groups leaves every value as it was.
  std::string unchanged;
  BREVANT_FUZZ_CHECK(RewriteJsonText(source, DeviceFieldRecord{}, unchanged, error),
                     "a rewrite from an empty row fails: %s", error.c_str());
  BREVANT_FUZZ_CHECK(Reparsed(unchanged, "the file rewritten from an empty row") == before,
                     "a rewrite from an empty row changes values");
  return 0;
}
