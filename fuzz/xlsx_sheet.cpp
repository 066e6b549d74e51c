// The sheet reader on workbooks of arbitrary parts and XML, and on arbitrary
// bytes as the file itself. An input that starts as a zip archive ("PK") is
// the file; any other is split at kPartSeparator into the parts below, in
// order, then the template the sheet was made from (see ParseRowText). A part
// missing or left empty is taken from a small valid device sheet.

#include <zip.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <fstream>

#include "fuzz_support.h"
#include "tailoring/device_sheet.h"
#include "tailoring/xlsx_reader.h"

using namespace brevant;

namespace {

constexpr const char* kRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

struct Part {
  const char* name;
  std::string fallback;
};

std::string Cell(const char* ref, const char* text) {
  return std::string("<c r=\"") + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}

const std::array<Part, 6>& Parts() {
  static const std::array<Part, 6> parts = {{
      {"[Content_Types].xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
       "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
       "Extension=\"rels\" "
       "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
       "Extension=\"xml\" ContentType=\"application/xml\"/></Types>"},
      {"_rels/.rels",
       std::string("<Relationships "
                   "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                   "<Relationship Id=\"rId1\" Type=\"") +
           kRelationships + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
      {"xl/workbook.xml",
       std::string("<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                   "xmlns:r=\"") +
           kRelationships +
           "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       std::string("<Relationships "
                   "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                   "<Relationship Id=\"rId1\" Type=\"") +
           kRelationships +
           "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
           kRelationships + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml",
       "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
       "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c>" +
           Cell("B1", "WanName1(*This column cannot be modified*)") + Cell("C1", "vid1") +
           Cell("D1", "pppUser1") + Cell("E1", "pppPassword1") +
           Cell("F1", "WanName2(*This column cannot be modified*)") + Cell("G1", "ssid_5g") +
           Cell("H1", "wlanPsk_5g") + Cell("I1", "ssid_2.4g") + Cell("J1", "wlanPsk_2.4g") +
           Cell("K1", "loid") + Cell("L1", "loidPassword") + Cell("M1", "ploamPassword") +
           Cell("N1", "loginPassword") +
           "</row><row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c><c r=\"C2\"><v>200</v></c>" +
           Cell("D2", "user@isp") + Cell("G2", "net5") + Cell("K2", "loid2") +
           "<c r=\"N2\" t=\"str\"><v>admin_x005F_x0041_</v></c></row></sheetData></worksheet>"},
      {"xl/sharedStrings.xml",
       "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"2\" "
       "uniqueCount=\"2\"><si><t>mac(*This column cannot be modified*)</t></si><si><r><t>C8:3A:"
       "</t></r><r><t>35:00:00:02</t></r></si></sst>"},
  }};
  return parts;
}

// The template of the fixture sheets: two WAN entries, the first with VLAN
// 100 and a PPP account, dual band.
constexpr std::string_view kTemplate = "vid1=100\nChannelMode1=2\nvid2=0\nwanCount=2\ndualBand=1";

// A zip archive of the parts, stored uncompressed, in memory.
std::string ZipOf(const std::vector<std::pair<std::string, std::string>>& parts) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* archive = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
  zip_error_fini(&error);
  if (archive == nullptr) {
    zip_source_free(buffer);
    fuzz::Broken("cannot make a zip archive in memory");
  }
  zip_source_keep(buffer);
  for (const auto& [name, bytes] : parts) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    const zip_int64_t index =
        source ? zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      zip_source_free(source);
      continue;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    zip_source_free(buffer);
    fuzz::Broken("cannot write a zip archive in memory");
  }
  std::string bytes;
  if (zip_source_open(buffer) == 0) {
    char chunk[8192];
    zip_int64_t n = 0;
    while ((n = zip_source_read(buffer, chunk, sizeof chunk)) > 0)
      bytes.append(chunk, static_cast<std::size_t>(n));
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return bytes;
}

void CheckReader(std::string_view bytes) {
  XlsxReader sheet;
  if (!sheet.OpenBytes(bytes)) {
    BREVANT_FUZZ_CHECK(!sheet.error().empty(), "a workbook that cannot be read gives no reason");
    BREVANT_FUZZ_CHECK(sheet.rowCount() == 0 && sheet.columnCount() == 0,
                       "a workbook that cannot be read has cells");
    return;
  }
  BREVANT_FUZZ_CHECK(sheet.rowCount() >= 0 && sheet.columnCount() >= 0, "negative size");
  BREVANT_FUZZ_CHECK((sheet.rowCount() == 0) == (sheet.columnCount() == 0),
                     "%d rows but %d columns", sheet.rowCount(), sheet.columnCount());
  for (const auto& [row, col] : std::initializer_list<std::pair<int, int>>{
           {-1, 0}, {0, -1}, {sheet.rowCount(), 0}, {0, sheet.columnCount()}, {1 << 30, 1 << 30}})
    BREVANT_FUZZ_CHECK(sheet.cell(row, col).empty(), "a cell outside the sheet holds text");
  const int rows = std::min(sheet.rowCount(), 64);
  const int cols = std::min(sheet.columnCount(), 64);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c)
      (void)sheet.cell(r, c);
  }
}

void CheckDeviceSheet(const std::string& bytes, std::string_view templateText) {
  static const auto file = fuzz::ScratchDir() / "sheet.xlsx";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::vector<DeviceFieldRecord> rows;
  if (!ReadDeviceSheet(file, fuzz::ParseRowText(templateText), rows))
    return;
  XlsxReader sheet;
  BREVANT_FUZZ_CHECK(sheet.Open(file), "a device sheet read as a sheet cannot be opened");
  BREVANT_FUZZ_CHECK(rows.size() < static_cast<std::size_t>(std::max(1, sheet.rowCount())),
                     "%zu rows from a sheet of %d", rows.size(), sheet.rowCount());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const DeviceFieldRecord& row = rows[r];
    BREVANT_FUZZ_CHECK(row.wanCount >= 0 && row.wanCount <= kMaxWanEntries, "%d WAN groups",
                       row.wanCount);
    BREVANT_FUZZ_CHECK(row.mac == sheet.cell(static_cast<int>(r) + 1, 0),
                       "row %zu has another MAC than its cell", r + 1);
    for (int w = row.wanCount; w < kMaxWanEntries; ++w)
      BREVANT_FUZZ_CHECK(!row.columns.vid[w] && !row.columns.ppp[w], "a column past the groups");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::AsText(data, size);
  CheckReader(input);
  if (input.starts_with("PK")) {
    CheckDeviceSheet(std::string(input), kTemplate);
    return 0;
  }
  const auto texts = fuzz::SplitParts(input, fuzz::kPartSeparator, Parts().size() + 1);
  std::vector<std::pair<std::string, std::string>> parts;
  for (std::size_t i = 0; i < Parts().size(); ++i) {
    const bool given = i < texts.size() && !texts[i].empty();
    parts.emplace_back(Parts()[i].name, given ? std::string(texts[i]) : Parts()[i].fallback);
  }
  const std::string workbook = ZipOf(parts);
  CheckReader(workbook);
  CheckDeviceSheet(workbook, texts.size() > Parts().size() ? texts.back() : kTemplate);
  return 0;
}
