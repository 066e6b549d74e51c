#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace brevant {

// A value bound to a statement parameter or held by a field: null, an integer,
// a real or a text.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string>;
using SqlParams = std::vector<SqlValue>;

// The last failure of a database object: SQLite's extended result code (or the
// layer's own for misuse) and the report text.
struct AdoError {
  std::uint32_t code = 0;
  std::string text;
};

// What the columns of a select are: their names, the table column behind each
// ("" for an expression), the one table they all come from ("" when not one)
// and which of them shows the table's rowid (-1 when none does).
struct RowShape {
  std::vector<std::string> names;
  std::vector<std::string> origins;
  std::string table;
  std::ptrdiff_t rowidIndex = -1;
};

// One connection to an SQLite database file. The connection text is the file
// name. Every failure becomes a false result and a recorded report; no
// exception leaves the class. Takes no lock: its owner serialises all use.
class CADODatabase {
 public:
  CADODatabase() = default;
  ~CADODatabase();
  CADODatabase(const CADODatabase&) = delete;
  CADODatabase& operator=(const CADODatabase&) = delete;

  // Creates a new, empty database file; false when the file exists already or
  // cannot be made.
  bool Create(const std::string& connection);
  // Closes first when open. True only when the file opens as a database.
  bool Open(const std::string& connection);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // Runs a statement that gives no rows (rows it gives anyway are skipped).
  bool Execute(const std::string& statement, const SqlParams& params = {});
  // Rows changed by the last successful Execute.
  long AffectedRows() const { return affected_; }

  const std::string& ConnectionText() const { return connection_; }
  const AdoError& LastError() const { return error_; }

 private:
  friend class CADORecordset;

  struct Failure {
    std::uint32_t code = 0;
    std::string description;
  };

  // A prepared statement, kept for reuse until the connection closes, with its
  // parameters bound. Null on failure (recorded here). Release it after use.
  sqlite3_stmt* Prepare(const std::string& statement, const SqlParams& params);
  void Release(sqlite3_stmt* statement);
  // The shape of a prepared select, learnt once per statement and schema.
  std::shared_ptr<const RowShape> Shape(const std::string& text, sqlite3_stmt* statement);
  // The column through which a select shows the table's rowid, "" when it has
  // none. False when the schema could not be read.
  bool RowidColumn(const std::string& table, std::string& column);
  void ForgetStatements();
  void RecordError(std::uint32_t code, const std::string& description);
  void RecordSqliteError();

  sqlite3* db_ = nullptr;
  std::string connection_;
  long affected_ = 0;
  AdoError error_;
  Failure failure_;  // the last failure before it became a report
  struct Cached {
    sqlite3_stmt* statement = nullptr;
    std::shared_ptr<const RowShape> shape;
    std::uint64_t schema = 0;  // the schema count the shape was learnt at
  };
  std::map<std::string, Cached, std::less<>> statements_;
  std::map<std::string, std::string, std::less<>> rowidColumns_;
  std::uint64_t schema_ = 0;  // counts statements that may have changed the schema
};

// One set of rows selected on a connection, held whole so that it can be
// counted and scrolled, and written back row by row through the table's rowid.
// Takes no lock: its owner serialises all use.
class CADORecordset {
 public:
  explicit CADORecordset(CADODatabase& database) : db_(database) {}
  ~CADORecordset();
  CADORecordset(const CADORecordset&) = delete;
  CADORecordset& operator=(const CADORecordset&) = delete;

  // Closes first when open. Only a select (its first seven characters "select "
  // in any letter case, after leading white space) opens a set of rows.
  bool Open(const std::string& query, const SqlParams& params = {});
  // A pending AddNew or Edit is discarded.
  void Close();
  bool IsOpen() const { return open_; }

  long RowCount() const { return static_cast<long>(rows_.size()); }
  void MoveNext();

  // Appends an empty row and makes it current; the next Update inserts it.
  bool AddNew();
  // The current row is written back by the next Update.
  void Edit();

  // By column name, letter case ignored. A null field reads 0 or the empty
  // text; an integer read of a text or real field converts it when it is a
  // number that fits.
  bool ReadField(std::string_view column, std::int32_t& value);
  bool ReadField(std::string_view column, std::string& value);
  // Only while a row is being added or edited.
  bool WriteField(std::string_view column, std::int64_t value);
  bool WriteField(std::string_view column, std::string_view value);
  bool WriteField(std::string_view column, const char* value) {
    return WriteField(column, std::string_view(value));
  }

  // Writes the pending row; true at once when nothing is pending. A failed
  // write cancels the pending change.
  bool Update();

  const std::string& QueryText() const { return query_; }
  const AdoError& LastError() const { return error_; }

 private:
  enum class EditState { kNone, kAdding, kEditing };
  using Row = std::vector<SqlValue>;

  bool Fail(std::uint32_t code, const std::string& description);
  bool FailFromDatabase();
  std::ptrdiff_t ColumnIndex(std::string_view column);
  const SqlValue* Field(std::string_view column);
  bool Write(std::string_view column, SqlValue value);
  void CancelUpdate();

  CADODatabase& db_;
  bool open_ = false;
  std::string query_;
  std::shared_ptr<const RowShape> shape_;
  std::vector<Row> rows_;
  std::size_t current_ = 0;
  std::size_t addedFrom_ = 0;  // the current row before AddNew
  EditState state_ = EditState::kNone;
  Row saved_;                  // the row as it was before Edit
  std::vector<bool> written_;  // columns written since AddNew or Edit
  AdoError error_;
};

}  // namespace brevant
