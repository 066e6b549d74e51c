#include "tailoring/xlsx_reader.h"

#include <gtest/gtest.h>

#include <map>

#include "sheet_files.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::Fixture;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteZip;

using Cells = std::map<std::pair<int, int>, std::string>;

// The cells make_fixtures.py gives both writers.
Cells SharedFixtureCells() {
  return {
      {{0, 0}, "text"}, {{0, 1}, "100"},       {{0, 2}, "1.5"},   {{0, 3}, "100000"},
      {{0, 4}, "-3"},   {{0, 5}, "TRUE"},      {{0, 6}, "FALSE"}, {{0, 7}, "  padded  "},
      {{0, 8}, "中文"}, {{1, 0}, "after gap"}, {{1, 1}, ""},      {{1, 2}, "skip B2"},
      {{1, 4}, "0.1"},  {{2, 0}, ""},          {{3, 0}, "last"},
  };
}

void ExpectCells(const XlsxReader& sheet, const Cells& cells) {
  for (const auto& [at, text] : cells)
    EXPECT_EQ(sheet.cell(at.first, at.second), text) << "row " << at.first << " col " << at.second;
}

TEST(XlsxReader, ReadsInlineStringsNumbersAndBooleansFromOpenpyxl) {
  // openpyxl writes inline strings and reaches the sheet by an absolute target.
  XlsxReader sheet;
  ASSERT_TRUE(sheet.Open(Fixture("openpyxl_cells.xlsx"))) << sheet.error();
  ExpectCells(sheet, SharedFixtureCells());
  EXPECT_EQ(sheet.rowCount(), 4);
  EXPECT_EQ(sheet.columnCount(), 9);
}

TEST(XlsxReader, ReadsSharedRichAndFormulaStringsFromLibreOffice) {
  XlsxReader sheet;
  ASSERT_TRUE(sheet.Open(Fixture("libreoffice_cells.xlsx"))) << sheet.error();
  Cells cells = SharedFixtureCells();
  // Calc stores a boolean without a boolean format as the number.
  cells[{0, 5}] = "1";
  cells[{0, 6}] = "0";
  cells[{0, 9}] = "boldplain";  // two rich-text runs
  cells[{0, 10}] = "abcd";      // the cached result of a formula
  ExpectCells(sheet, cells);
  EXPECT_EQ(sheet.rowCount(), 4);
  EXPECT_EQ(sheet.columnCount(), 11);
}

TEST(XlsxReader, FindsTheFirstSheetThroughRelationshipsAndReadsOddCells) {
  TempDir dir;
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
  const std::string pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
  const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
  WriteZip(
      dir / "odd.xlsx",
      {
          {"_rels/.rels", "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"r1\" Type=\"" +
                              rel +
                              "/officeDocument\" Target=\"/book/main.xml\"/></Relationships>"},
          // Prefixed elements; the first sheet in tab order is not the one with sheetId 1.
          {"book/main.xml", "<x:workbook xmlns:x=\"" + main + "\" xmlns:rel=\"" + rel +
                                "\"><x:sheets><x:sheet name=\"First\" sheetId=\"7\" "
                                "rel:id=\"rIdB\"/><x:sheet name=\"Second\" sheetId=\"1\" "
                                "rel:id=\"rIdA\"/></x:sheets></x:workbook>"},
          {"book/_rels/main.xml.rels",
           "<Relationships xmlns=\"" + pkg + "\"><Relationship Id=\"rIdA\" Type=\"" + rel +
               "/worksheet\" Target=\"sheets/second.xml\"/><Relationship Id=\"rIdB\" Type=\"" +
               rel +
               "/worksheet\" Target=\"../parts/first.xml\"/><Relationship Id=\"rIdS\" Type=\"" +
               rel + "/sharedStrings\" Target=\"strings.xml\"/></Relationships>"},
          {"book/strings.xml",
           "<sst xmlns=\"" + main +
               "\"><si><t>plain</t></si><si><r><t>a</t></r><r><rPr><b/></rPr><t>b</t></r>"
               "<rPh sb=\"0\" eb=\"1\"><t>PHONETIC</t></rPh></si></sst>"},
          {"parts/first.xml",
           "<x:worksheet xmlns:x=\"" + main +
               "\"><x:sheetData>"
               // A row and cells without r attributes follow on from the last.
               "<x:row>"
               "<x:c t=\"s\"><x:v>0</x:v></x:c>"
               "<x:c t=\"s\"><x:v>1</x:v></x:c>"
               "<x:c t=\"inlineStr\"><x:is><x:t>_x0041__x005F_x0042_</x:t></x:is></x:c>"
               "<x:c t=\"e\"><x:v>#N/A</x:v></x:c>"
               "<x:c t=\"b\"><x:v>1</x:v></x:c>"
               "<x:c t=\"s\"><x:v>99</x:v></x:c>"
               "<x:c><x:v>007</x:v></x:c>"
               "<x:c t=\"n\"><x:v>1e3</x:v></x:c>"
               "<x:c><x:v>1.0E-2</x:v></x:c>"
               "</x:row>"
               "<x:row r=\"3\"><x:c r=\"C3\" t=\"str\"><x:v>_xD83D__xDE00_</x:v></x:c>"
               "<x:c t=\"inlineStr\"><x:is><x:t xml:space=\"preserve\"> spaced </x:t></x:is></x:c>"
               "</x:row>"
               "<x:row><x:c r=\"B4\"><x:v>12</x:v></x:c><x:c r=\"ZZ4\" t=\"s\"><x:v>0</x:v></x:c>"
               "</x:row>"
               "</x:sheetData></x:worksheet>"},
          {"book/sheets/second.xml",
           "<worksheet xmlns=\"" + main +
               "\"><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>wrong "
               "sheet</t></is></c></row></sheetData></worksheet>"},
      });
  XlsxReader sheet;
  ASSERT_TRUE(sheet.Open(dir / "odd.xlsx")) << sheet.error();
  ExpectCells(sheet, {
                         {{0, 0}, "plain"},
                         {{0, 1}, "ab"},
                         {{0, 2}, "A_x0042_"},
                         {{0, 3}, "#N/A"},
                         {{0, 4}, "TRUE"},
                         {{0, 5}, ""},
                         {{0, 6}, "7"},
                         {{0, 7}, "1000"},
                         {{0, 8}, "0.01"},
                         {{2, 2}, "\xF0\x9F\x98\x80"},
                         {{2, 3}, " spaced "},
                         {{3, 1}, "12"},
                         {{3, 701}, "plain"},
                     });
  EXPECT_EQ(sheet.rowCount(), 4);
  EXPECT_EQ(sheet.columnCount(), 702);
  EXPECT_EQ(sheet.cell(-1, 0), "");
  EXPECT_EQ(sheet.cell(0, 5000000), "");
}

TEST(XlsxReader, BrokenFilesFailWithAReason) {
  TempDir dir;
  const std::string good = ReadBytes(Fixture("libreoffice_cells.xlsx"));
  const std::string pkg = "http://schemas.openxmlformats.org/package/2006/relationships";
  const auto write = [&](const std::string& name, const std::string& bytes) {
    return dir.Write(name, bytes);
  };
  std::vector<std::pair<std::string, std::filesystem::path>> files = {
      {"missing file", dir / "absent.xlsx"},
      {"not a zip", write("text.xlsx", "mac,WanName1\n")},
      {"truncated", write("half.xlsx", good.substr(0, good.size() / 2))},
      {"empty", write("empty.xlsx", "")},
      {"folder", dir.path()},
  };
  WriteZip(dir / "nobook.xlsx", {{"_rels/.rels", "<Relationships xmlns=\"" + pkg + "\"/>"}});
  files.push_back({"no workbook", dir / "nobook.xlsx"});
  WriteZip(dir / "badsheet.xlsx",
           {{"xl/workbook.xml",
             "<workbook xmlns:r=\"r\"><sheets><sheet r:id=\"rId1\"/></sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships><Relationship Id=\"rId1\" Type=\"t/worksheet\" "
             "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
            {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row><c"}});
  files.push_back({"broken sheet xml", dir / "badsheet.xlsx"});
  for (const auto& [what, file] : files) {
    XlsxReader sheet;
    EXPECT_FALSE(sheet.Open(file)) << what;
    EXPECT_FALSE(sheet.error().empty()) << what;
    EXPECT_EQ(sheet.rowCount(), 0) << what;
  }
}

}  // namespace
}  // namespace brevant
