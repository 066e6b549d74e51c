#include "tailoring/xlsx_reader.h"

#include <zip.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <vector>

#include "text/text.h"

namespace brevant {

namespace {

// Bounds of a sheet, and of what one part of a workbook may unpack to.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr std::uint64_t kMaxPartBytes = 128u << 20;
constexpr std::uintmax_t kMaxFileBytes = 256u << 20;

std::uint64_t CellKey(int row, int col) {
  return static_cast<std::uint64_t>(row) * kMaxColumns + static_cast<std::uint64_t>(col);
}

class ZipArchive {
 public:
  explicit ZipArchive(std::string_view bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source != nullptr) {
      zip_ = zip_open_from_source(source, ZIP_RDONLY, &error);
      if (zip_ == nullptr)
        zip_source_free(source);
    }
    zip_error_fini(&error);
  }
  ~ZipArchive() {
    if (zip_ != nullptr)
      zip_discard(zip_);
  }
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  bool IsOpen() const { return zip_ != nullptr; }
  bool Has(const std::string& name) const {
    return zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE) >= 0;
  }
  // The unpacked bytes of a part; nothing when it is missing, broken or too large.
  std::optional<std::string> Read(const std::string& name) const {
    const zip_int64_t index = zip_name_locate(zip_, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0)
      return std::nullopt;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(zip_, static_cast<zip_uint64_t>(index), 0, &stat) != 0)
      return std::nullopt;
    if ((stat.valid & ZIP_STAT_SIZE) != 0 && stat.size > kMaxPartBytes)
      return std::nullopt;
    zip_file_t* file = zip_fopen_index(zip_, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr)
      return std::nullopt;
    std::string data;
    char buffer[65536];
    bool ok = true;
    for (;;) {
      const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
      if (n < 0 || data.size() + static_cast<std::uint64_t>(n) > kMaxPartBytes) {
        ok = false;
        break;
      }
      if (n == 0)
        break;
      data.append(buffer, static_cast<std::size_t>(n));
    }
    zip_fclose(file);
    if (!ok)
      return std::nullopt;
    return data;
  }

 private:
  zip_t* zip_ = nullptr;
};

std::string_view LocalName(const char* name) {
  const std::string_view text(name);
  const auto colon = text.rfind(':');
  return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

bool Is(const pugi::xml_node& node, std::string_view localName) {
  return node.type() == pugi::node_element && LocalName(node.name()) == localName;
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName) {
  for (const pugi::xml_node& child : node.children()) {
    if (Is(child, localName))
      return child;
  }
  return {};
}

// The text content of an element: its character data and CDATA children.
std::string NodeText(const pugi::xml_node& node) {
  std::string text;
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
      text += child.value();
  }
  return text;
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Spreadsheet strings carry characters XML cannot hold as _xHHHH_ (one UTF-16
// code unit each; _x005F_ escapes a literal underscore).
std::string DecodeEscapes(const std::string& text) {
  if (text.find("_x") == std::string::npos)
    return text;
  const std::u16string wide = Utf8ToUtf16(text);
  std::u16string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == u'_' && i + 6 < wide.size() && wide[i + 1] == u'x' && wide[i + 6] == u'_') {
      bool hex = true;
      char16_t unit = 0;
      for (std::size_t k = 2; k < 6; ++k) {
        const char16_t c = wide[i + k];
        if (c > 0x7F || !IsHex(static_cast<char>(c))) {
          hex = false;
          break;
        }
        const int digit = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
        unit = static_cast<char16_t>(unit * 16 + digit);
      }
      if (hex) {
        out.push_back(unit);
        i += 6;
        continue;
      }
    }
    out.push_back(wide[i]);
  }
  return Utf16ToUtf8(out);
}

// A shared or inline string: plain text, or the runs of rich text (phonetic
// hints are not part of the text).
std::string RichText(const pugi::xml_node& item) {
  std::string text;
  for (const pugi::xml_node& child : item.children()) {
    if (Is(child, "t")) {
      text += NodeText(child);
    } else if (Is(child, "r")) {
      for (const pugi::xml_node& part : child.children()) {
        if (Is(part, "t"))
          text += NodeText(part);
      }
    }
  }
  return DecodeEscapes(text);
}

std::string_view TrimView(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos)
    return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// A number as its shortest decimal text that reads back the same value, never
// in exponent form (100000 reads "100000", not "1e+05").
std::string NumberText(std::string_view raw) {
  const std::string_view text = TrimView(raw);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::string(text);
  if (value == 0)
    return "0";
  char buffer[400];
  if (std::trunc(value) == value && std::fabs(value) < 1e18) {
    const auto [p, e] =
        std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value));
    return e == std::errc() ? std::string(buffer, p) : std::string(text);
  }
  const auto [p, e] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return e == std::errc() ? std::string(buffer, p) : std::string(text);
}

template <typename Int>
bool ParseUnsigned(std::string_view raw, Int& value) {
  const std::string_view text = TrimView(raw);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// "B12" gives row 11, column 1.
bool ParseCellReference(std::string_view ref, int& row, int& col) {
  std::size_t i = 0;
  long column = 0;
  while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
    column = column * 26 + ((ref[i] | 0x20) - 'a' + 1);
    if (column > kMaxColumns)
      return false;
    ++i;
  }
  if (i == 0)
    return false;
  long number = 0;
  if (!ParseUnsigned(ref.substr(i), number) || number < 1 || number > kMaxRows)
    return false;
  row = static_cast<int>(number - 1);
  col = static_cast<int>(column - 1);
  return true;
}

std::string PartDirectory(const std::string& part) {
  const auto slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string RelationshipsPart(const std::string& part) {
  const auto slash = part.rfind('/');
  const std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
  return PartDirectory(part) + "_rels/" + name + ".rels";
}

// A relationship target as a part name inside the archive: absolute targets
// ("/xl/worksheets/sheet1.xml") from the root, relative ones from the source
// part's folder.
std::string ResolveTarget(const std::string& sourceDirectory, std::string target) {
  std::string decoded;
  for (std::size_t i = 0; i < target.size(); ++i) {
    char c = target[i];
    if (c == '%' && i + 2 < target.size() && IsHex(target[i + 1]) && IsHex(target[i + 2])) {
      c = static_cast<char>(std::stoi(target.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else if (c == '\\') {
      c = '/';
    }
    decoded.push_back(c);
  }
  const std::string joined =
      !decoded.empty() && decoded[0] == '/' ? decoded.substr(1) : sourceDirectory + decoded;
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= joined.size()) {
    auto slash = joined.find('/', start);
    if (slash == std::string::npos)
      slash = joined.size();
    const std::string segment = joined.substr(start, slash - start);
    if (segment == "..") {
      if (!segments.empty())
        segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = slash + 1;
  }
  std::string part;
  for (const auto& segment : segments) {
    if (!part.empty())
      part += '/';
    part += segment;
  }
  return part;
}

struct Relationship {
  std::string type;
  std::string target;  // resolved part name
};

bool ParseXml(const std::string& bytes, pugi::xml_document& document) {
  return document
             .load_buffer(bytes.data(), bytes.size(),
                          pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_auto)
             .status == pugi::status_ok;
}

// The relationships of a part by their id; empty when it has none.
std::map<std::string, Relationship> ReadRelationships(const ZipArchive& archive,
                                                      const std::string& part) {
  std::map<std::string, Relationship> relationships;
  const auto bytes = archive.Read(RelationshipsPart(part));
  pugi::xml_document document;
  if (!bytes || !ParseXml(*bytes, document))
    return relationships;
  const std::string directory = PartDirectory(part);
  for (const pugi::xml_node& node : Child(document, "Relationships").children()) {
    if (!Is(node, "Relationship"))
      continue;
    if (std::string_view(node.attribute("TargetMode").value()) == "External")
      continue;
    relationships[node.attribute("Id").value()] = {
        node.attribute("Type").value(), ResolveTarget(directory, node.attribute("Target").value())};
  }
  return relationships;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string CellText(const pugi::xml_node& cell, const std::vector<std::string>& sharedStrings) {
  const std::string_view type = cell.attribute("t").value();
  const pugi::xml_node value = Child(cell, "v");
  if (type == "s") {
    std::size_t index = 0;
    if (!value || !ParseUnsigned(NodeText(value), index) || index >= sharedStrings.size())
      return {};
    return sharedStrings[index];
  }
  if (type == "inlineStr") {
    const pugi::xml_node inlineString = Child(cell, "is");
    return inlineString ? RichText(inlineString) : DecodeEscapes(NodeText(value));
  }
  if (type == "str")
    return DecodeEscapes(NodeText(value));
  if (type == "b") {
    const std::string text = NodeText(value);
    const std::string_view flag = TrimView(text);
    if (flag.empty())
      return {};
    return flag == "1" || flag == "true" ? "TRUE" : "FALSE";
  }
  if (type == "e" || type == "d")
    return NodeText(value);
  if (!value) {
    const pugi::xml_node inlineString = Child(cell, "is");
    return inlineString ? RichText(inlineString) : std::string();
  }
  return NumberText(NodeText(value));
}

}  // namespace

bool XlsxReader::Fail(std::string why) {
  cells_.clear();
  rowCount_ = 0;
  columnCount_ = 0;
  error_ = std::move(why);
  return false;
}

bool XlsxReader::Open(const std::filesystem::path& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error)
    return Fail("cannot open " + file.string() + ": " + error.message());
  if (size > kMaxFileBytes)
    return Fail(file.string() + " is too large for a sheet");
  std::ifstream in(file, std::ios::binary);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
    return Fail("cannot read " + file.string());
  return OpenBytes(bytes);
}

bool XlsxReader::OpenBytes(std::string_view bytes) {
  Fail({});
  const ZipArchive archive(bytes);
  if (!archive.IsOpen())
    return Fail("not an .xlsx workbook (no zip archive)");

  std::string workbookPart;
  for (const auto& [id, relationship] : ReadRelationships(archive, "")) {
    if (EndsWith(relationship.type, "/officeDocument")) {
      workbookPart = relationship.target;
      break;
    }
  }
  if (workbookPart.empty() || !archive.Has(workbookPart))
    workbookPart = "xl/workbook.xml";
  const auto workbookBytes = archive.Read(workbookPart);
  pugi::xml_document workbook;
  if (!workbookBytes || !ParseXml(*workbookBytes, workbook))
    return Fail("the workbook part is missing or broken");

  pugi::xml_node firstSheet;
  for (const pugi::xml_node& node : Child(Child(workbook, "workbook"), "sheets").children()) {
    if (Is(node, "sheet")) {
      firstSheet = node;
      break;
    }
  }
  if (!firstSheet)
    return Fail("the workbook has no sheet");
  std::string relationshipId;
  for (const pugi::xml_attribute& attribute : firstSheet.attributes()) {
    const std::string_view name = attribute.name();
    if (name.find(':') != std::string_view::npos && LocalName(attribute.name()) == "id")
      relationshipId = attribute.value();
  }

  const auto relationships = ReadRelationships(archive, workbookPart);
  const auto sheetRelationship = relationships.find(relationshipId);
  if (sheetRelationship == relationships.end())
    return Fail("the first sheet has no part");
  std::vector<std::string> sharedStrings;
  for (const auto& [id, relationship] : relationships) {
    if (!EndsWith(relationship.type, "/sharedStrings"))
      continue;
    const auto bytesOfStrings = archive.Read(relationship.target);
    pugi::xml_document strings;
    if (!bytesOfStrings || !ParseXml(*bytesOfStrings, strings))
      return Fail("the shared strings are broken");
    for (const pugi::xml_node& item : Child(strings, "sst").children()) {
      if (Is(item, "si"))
        sharedStrings.push_back(RichText(item));
    }
    break;
  }

  const auto sheetBytes = archive.Read(sheetRelationship->second.target);
  pugi::xml_document sheet;
  if (!sheetBytes || !ParseXml(*sheetBytes, sheet))
    return Fail("the first sheet is missing or broken");

  int row = -1;
  for (const pugi::xml_node& rowNode : Child(Child(sheet, "worksheet"), "sheetData").children()) {
    if (!Is(rowNode, "row"))
      continue;
    long number = 0;
    row = ParseUnsigned(rowNode.attribute("r").value(), number) && number >= 1 && number <= kMaxRows
              ? static_cast<int>(number - 1)
              : row + 1;
    int col = -1;
    for (const pugi::xml_node& cellNode : rowNode.children()) {
      if (!Is(cellNode, "c"))
        continue;
      int cellRow = row;
      int cellCol = col + 1;
      ParseCellReference(cellNode.attribute("r").value(), cellRow, cellCol);
      col = cellCol;
      if (cellRow >= kMaxRows || cellCol >= kMaxColumns)
        continue;
      std::string text = CellText(cellNode, sharedStrings);
      if (text.empty())
        continue;
      cells_[CellKey(cellRow, cellCol)] = std::move(text);
      rowCount_ = std::max(rowCount_, cellRow + 1);
      columnCount_ = std::max(columnCount_, cellCol + 1);
    }
  }
  return true;
}

std::string XlsxReader::cell(int row, int col) const {
  if (row < 0 || col < 0 || row >= kMaxRows || col >= kMaxColumns)
    return {};
  const auto found = cells_.find(CellKey(row, col));
  return found == cells_.end() ? std::string() : found->second;
}

}  // namespace brevant
