#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

namespace brevant {

// The cell texts of the first sheet of an .xlsx workbook, as a spreadsheet
// application shows them: shared, rich and inline strings, numbers as their
// shortest decimal text (100 reads "100"), booleans as TRUE and FALSE.
class XlsxReader {
 public:
  // False, with error(), when the file is not a workbook that can be read.
  bool Open(const std::filesystem::path& file);
  // The same from the workbook's bytes.
  bool OpenBytes(std::string_view bytes);
  const std::string& error() const { return error_; }

  // Rows and columns count from 0; a cell that does not exist reads empty.
  std::string cell(int row, int col) const;
  // One past the last row and column that hold a cell.
  int rowCount() const { return rowCount_; }
  int columnCount() const { return columnCount_; }

 private:
  bool Fail(std::string why);

  std::unordered_map<std::uint64_t, std::string> cells_;
  int rowCount_ = 0;
  int columnCount_ = 0;
  std::string error_;
};

}  // namespace brevant
