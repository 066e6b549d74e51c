// A configuration file in XML form: the template fields read from any text,
// and the text rewritten from a row that is also taken from the input.
// Input: the file's text, kPartSeparator, the row (see ParseRowText).

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "tailoring/xml_config.h"

using namespace brevant;

namespace {

std::size_t LineCount(std::string_view text) {
  std::size_t lines = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    ++lines;
    const auto feed = text.find('\n', start);
    if (feed == std::string_view::npos)
      break;
    start = feed + 1;
  }
  return lines;
}

// The file as it is, one CR LF after every line.
std::string WithCrLf(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto feed = text.find('\n', start);
    std::string_view line =
        text.substr(start, feed == std::string_view::npos ? std::string_view::npos : feed - start);
    if (line.ends_with('\r'))
      line.remove_suffix(1);
    out += line;
    out += "\r\n";
    if (feed == std::string_view::npos)
      break;
    start = feed + 1;
  }
  return out;
}

void CheckRewrite(bool dualBand, const DeviceFieldRecord& row, std::string_view source) {
  const std::string out = RewriteXmlText(dualBand, row, source);
  BREVANT_FUZZ_CHECK(LineCount(out) == LineCount(source), "%zu lines became %zu", LineCount(source),
                     LineCount(out));
  for (std::size_t at = out.find('\n'); at != std::string::npos; at = out.find('\n', at + 1))
    BREVANT_FUZZ_CHECK(at > 0 && out[at - 1] == '\r', "a line does not end with CR LF");
  BREVANT_FUZZ_CHECK(out.empty() || out.ends_with("\r\n"), "the last line has no line end");

  const SheetColumns none{};
  const SheetColumns& has = row.columns;
  if (has.vid == none.vid && has.ppp == none.ppp && !has.wifi5g && !has.wifi24g && !has.accounts)
    BREVANT_FUZZ_CHECK(out == WithCrLf(source), "a row without columns changed the file");

  // What was written for the PLOAM password reads back as the row's value.
  if (has.accounts && row.ploamPassword.find('\0') == std::string::npos &&
      out.find("<Value Name=\"GPON_PLOAM_PASSWD\" Value") != std::string::npos) {
    const DeviceFieldRecord reread = ReadXmlTemplateText(out);
    BREVANT_FUZZ_CHECK(reread.ploamPassword == row.ploamPassword,
                       "the PLOAM password written does not read back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::SplitParts(fuzz::AsText(data, size), fuzz::kPartSeparator, 2);
  const std::string_view source = parts[0];
  const DeviceFieldRecord row = fuzz::ParseRowText(parts.size() > 1 ? parts[1] : "");

  const DeviceFieldRecord fields = ReadXmlTemplateText(source);
  BREVANT_FUZZ_CHECK(fields.wanCount >= 0 && fields.wanCount <= kMaxWanEntries,
                     "the template has %d WAN entries", fields.wanCount);

  for (const std::string* value : {&row.mac, &row.ploamPassword, &row.loginPassword, &row.ssid_5g,
                                   &row.wlanPsk_24g, &row.vid[0], &row.pppPassword[0]}) {
    if (value->find('\0') == std::string::npos) {
      BREVANT_FUZZ_CHECK(DecodeXmlEntities(EscapeXmlValue(*value)) == *value,
                         "an escaped value does not decode to itself");
    }
  }
  (void)DecodeXmlEntities(source);

  CheckRewrite(fields.dualBand, row, source);
  CheckRewrite(!fields.dualBand, row, source);
  return 0;
}
