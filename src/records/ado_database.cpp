#include "records/ado_database.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>

namespace brevant {

namespace {

// Statements kept prepared per connection; past this many the cache starts over
// (the store uses a handful, only free-form ExecuteSql texts could pile up).
constexpr std::size_t kMaxCachedStatements = 64;

constexpr const char* kSource = "SQLite";

// "<title> Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n"
std::string Report(const char* title, std::uint32_t code, const std::string& description) {
  char hex[32];
  std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(code));
  return std::string(title) + " Error\n\tCode = " + hex +
         "\n\tCode meaning = " + sqlite3_errstr(static_cast<int>(code)) +
         "\n\tSource = " + kSource + "\n\tDescription = " + description + "\n";
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// SQL names ignore letter case in ASCII only.
bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i]))
      return false;
  }
  return true;
}

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (const char c : name) {
    quoted += c;
    if (c == '"')
      quoted += '"';
  }
  quoted += '"';
  return quoted;
}

int Bind(sqlite3_stmt* statement, int index, const SqlValue& value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value))
    return sqlite3_bind_int64(statement, index, *integer);
  if (const auto* real = std::get_if<double>(&value))
    return sqlite3_bind_double(statement, index, *real);
  if (const auto* text = std::get_if<std::string>(&value))
    return sqlite3_bind_text64(statement, index, text->data(), text->size(), SQLITE_TRANSIENT,
                               SQLITE_UTF8);
  return sqlite3_bind_null(statement, index);
}

SqlValue ColumnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      return static_cast<std::int64_t>(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
      return sqlite3_column_double(statement, column);
    case SQLITE_TEXT: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      return std::string(text != nullptr ? text : "",
                         static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
    }
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      return std::string(bytes != nullptr ? bytes : "",
                         static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
    }
    default:
      return std::monostate{};
  }
}

}  // namespace

// ---------------------------------------------------------------- connection

CADODatabase::~CADODatabase() {
  Close();
}

void CADODatabase::RecordError(std::uint32_t code, const std::string& description) {
  try {
    failure_ = Failure{code, description};
    error_.code = code;
    error_.text =
        "Connection String = " + connection_ + "\n" + Report("CADODataBase", code, description);
  } catch (...) {
    error_.code = code;
    error_.text.clear();
  }
}

void CADODatabase::RecordSqliteError() {
  if (db_ == nullptr) {
    RecordError(SQLITE_MISUSE, "the connection is not open");
    return;
  }
  RecordError(static_cast<std::uint32_t>(sqlite3_extended_errcode(db_)), sqlite3_errmsg(db_));
}

bool CADODatabase::Create(const std::string& connection) {
  try {
    Close();
    connection_ = connection;
    std::error_code error;
    if (std::filesystem::exists(connection, error) || error) {
      RecordError(SQLITE_CANTOPEN, error ? error.message() : "the database file exists already");
      return false;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(connection.c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
      RecordError(static_cast<std::uint32_t>(db != nullptr ? sqlite3_extended_errcode(db) : rc),
                  db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
      sqlite3_close_v2(db);
      return false;
    }
    sqlite3_close_v2(db);
    return true;
  } catch (...) {
    RecordError(SQLITE_NOMEM, "out of memory");
    return false;
  }
}

bool CADODatabase::Open(const std::string& connection) {
  try {
    Close();
    connection_ = connection;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(connection.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_extended_result_codes(db, 1);
      // SQLite reads the file lazily; a file that is no database fails here,
      // not at the first query.
      rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
      RecordError(static_cast<std::uint32_t>(db != nullptr ? sqlite3_extended_errcode(db) : rc),
                  db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
      sqlite3_close_v2(db);
      return false;
    }
    db_ = db;
    return true;
  } catch (...) {
    RecordError(SQLITE_NOMEM, "out of memory");
    return false;
  }
}

void CADODatabase::ForgetStatements() {
  for (auto& [text, cached] : statements_)
    sqlite3_finalize(cached.statement);
  statements_.clear();
  rowidColumns_.clear();
}

void CADODatabase::Close() {
  if (db_ == nullptr)
    return;
  ForgetStatements();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

sqlite3_stmt* CADODatabase::Prepare(const std::string& text, const SqlParams& params) {
  if (db_ == nullptr) {
    RecordSqliteError();
    return nullptr;
  }
  sqlite3_stmt* statement = nullptr;
  if (const auto found = statements_.find(text); found != statements_.end()) {
    statement = found->second.statement;
  } else {
    if (statements_.size() >= kMaxCachedStatements)
      ForgetStatements();
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_, text.c_str(), static_cast<int>(text.size()),
                           SQLITE_PREPARE_PERSISTENT, &statement, &tail) != SQLITE_OK) {
      RecordSqliteError();
      sqlite3_finalize(statement);
      return nullptr;
    }
    if (statement == nullptr) {
      RecordError(SQLITE_MISUSE, "the statement text holds no statement");
      return nullptr;
    }
    // One statement per call: a second one after a semicolon is refused, not
    // silently dropped.
    if (tail != nullptr && *tail != '\0') {
      sqlite3_stmt* next = nullptr;
      const bool more = sqlite3_prepare_v2(db_, tail, -1, &next, nullptr) != SQLITE_OK ||
                        next != nullptr;  // null: only blanks and comments follow
      sqlite3_finalize(next);
      if (more) {
        sqlite3_finalize(statement);
        RecordError(SQLITE_MISUSE, "the statement text holds more than one statement");
        return nullptr;
      }
    }
    statements_.emplace(text, Cached{statement, nullptr, 0});
  }
  if (sqlite3_bind_parameter_count(statement) != static_cast<int>(params.size())) {
    RecordError(SQLITE_RANGE, "the statement takes " +
                                  std::to_string(sqlite3_bind_parameter_count(statement)) +
                                  " parameters, " + std::to_string(params.size()) + " were given");
    return nullptr;
  }
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (Bind(statement, static_cast<int>(i) + 1, params[i]) != SQLITE_OK) {
      RecordSqliteError();
      Release(statement);
      return nullptr;
    }
  }
  return statement;
}

void CADODatabase::Release(sqlite3_stmt* statement) {
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
}

bool CADODatabase::Execute(const std::string& statement, const SqlParams& params) {
  try {
    // The statement may change the schema: column facts learnt so far may no
    // longer hold.
    rowidColumns_.clear();
    ++schema_;
    sqlite3_stmt* prepared = Prepare(statement, params);
    if (prepared == nullptr)
      return false;
    int rc = SQLITE_ROW;
    while (rc == SQLITE_ROW)
      rc = sqlite3_step(prepared);
    if (rc != SQLITE_DONE) {
      RecordSqliteError();
      Release(prepared);
      return false;
    }
    affected_ = static_cast<long>(sqlite3_changes64(db_));
    Release(prepared);
    return true;
  } catch (...) {
    RecordError(SQLITE_NOMEM, "out of memory");
    return false;
  }
}

std::shared_ptr<const RowShape> CADODatabase::Shape(const std::string& text,
                                                    sqlite3_stmt* statement) {
  const auto found = statements_.find(text);
  if (found != statements_.end() && found->second.shape && found->second.schema == schema_)
    return found->second.shape;
  auto shape = std::make_shared<RowShape>();
  const int columns = sqlite3_column_count(statement);
  bool oneTable = columns > 0;
  for (int i = 0; i < columns; ++i) {
    const char* name = sqlite3_column_name(statement, i);
    const char* origin = sqlite3_column_origin_name(statement, i);
    const char* table = sqlite3_column_table_name(statement, i);
    const char* database = sqlite3_column_database_name(statement, i);
    shape->names.emplace_back(name != nullptr ? name : "");
    shape->origins.emplace_back(origin != nullptr ? origin : "");
    if (table == nullptr || database == nullptr || std::string_view(database) != "main" ||
        (i > 0 && shape->table != table)) {
      oneTable = false;
    } else if (i == 0) {
      shape->table = table;
    }
  }
  if (!oneTable)
    shape->table.clear();
  std::string rowid;
  if (!shape->table.empty() && RowidColumn(shape->table, rowid) && !rowid.empty()) {
    for (std::size_t i = 0; i < shape->origins.size(); ++i) {
      if (EqualsNoCase(shape->origins[i], rowid)) {
        shape->rowidIndex = static_cast<std::ptrdiff_t>(i);
        break;
      }
    }
  }
  // RowidColumn may have started the cache over: look the statement up again.
  if (const auto again = statements_.find(text);
      again != statements_.end() && again->second.statement == statement) {
    again->second.shape = shape;
    again->second.schema = schema_;
  }
  return shape;
}

bool CADODatabase::RowidColumn(const std::string& table, std::string& column) {
  column.clear();
  if (const auto found = rowidColumns_.find(table); found != rowidColumns_.end()) {
    column = found->second;
    return true;
  }
  // Only a table with rowids can be written back row by row; its rowid shows
  // in "select *" only through a column declared INTEGER PRIMARY KEY.
  const char* type = nullptr;
  if (sqlite3_table_column_metadata(db_, "main", table.c_str(), "rowid", &type, nullptr, nullptr,
                                    nullptr, nullptr) == SQLITE_OK) {
    sqlite3_stmt* info =
        Prepare("SELECT name, type, pk FROM pragma_table_info(?) WHERE pk > 0", {table});
    if (info == nullptr)
      return false;
    int keys = 0;
    std::string name;
    bool integer = false;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(info)) == SQLITE_ROW) {
      ++keys;
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(info, 0));
      const auto* declared = reinterpret_cast<const char*>(sqlite3_column_text(info, 1));
      name = text != nullptr ? text : "";
      integer = declared != nullptr && EqualsNoCase(declared, "INTEGER");
    }
    if (rc != SQLITE_DONE) {
      RecordSqliteError();
      Release(info);
      return false;
    }
    Release(info);
    if (keys == 1 && integer)
      column = name;
  }
  rowidColumns_.emplace(table, column);
  return true;
}

// -------------------------------------------------------------- set of rows

CADORecordset::~CADORecordset() {
  Close();
}

bool CADORecordset::Fail(std::uint32_t code, const std::string& description) {
  try {
    error_.code = code;
    error_.text = "Query = " + query_ + "\n" + Report("CADORecordset", code, description);
  } catch (...) {
    error_.code = code;
    error_.text.clear();
  }
  return false;
}

bool CADORecordset::FailFromDatabase() {
  return Fail(db_.failure_.code, db_.failure_.description);
}

bool CADORecordset::Open(const std::string& query, const SqlParams& params) {
  try {
    Close();
    std::size_t start = 0;
    while (start < query.size() && std::isspace(static_cast<unsigned char>(query[start])))
      ++start;
    query_ = query.substr(start);
    if (!EqualsNoCase(std::string_view(query_).substr(0, 7), "select "))
      return Fail(SQLITE_MISUSE, "only a select statement opens a set of rows");
    sqlite3_stmt* statement = db_.Prepare(query_, params);
    if (statement == nullptr)
      return FailFromDatabase();

    const int columns = sqlite3_column_count(statement);
    rows_.clear();
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      Row row;
      row.reserve(static_cast<std::size_t>(columns));
      for (int i = 0; i < columns; ++i)
        row.push_back(ColumnValue(statement, i));
      rows_.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
      db_.RecordSqliteError();
      db_.Release(statement);
      rows_.clear();
      return FailFromDatabase();
    }
    db_.Release(statement);
    // Last use of the statement: learning the shape may start the cache over.
    shape_ = db_.Shape(query_, statement);
    current_ = 0;
    state_ = EditState::kNone;
    open_ = true;
    return true;
  } catch (...) {
    rows_.clear();
    return Fail(SQLITE_NOMEM, "out of memory");
  }
}

void CADORecordset::CancelUpdate() {
  if (state_ == EditState::kAdding && !rows_.empty()) {
    rows_.pop_back();
    current_ = addedFrom_;
  } else if (state_ == EditState::kEditing && current_ < rows_.size()) {
    rows_[current_] = std::move(saved_);
  }
  saved_.clear();
  written_.clear();
  state_ = EditState::kNone;
}

void CADORecordset::Close() {
  if (!open_)
    return;
  CancelUpdate();
  rows_.clear();
  shape_.reset();
  current_ = 0;
  open_ = false;
}

void CADORecordset::MoveNext() {
  // Only Update writes a row: leaving it discards what was not written.
  if (state_ != EditState::kNone)
    CancelUpdate();
  if (current_ < rows_.size())
    ++current_;
}

bool CADORecordset::AddNew() {
  try {
    if (!open_)
      return Fail(SQLITE_MISUSE, "the set of rows is not open");
    if (shape_->table.empty())
      return Fail(SQLITE_MISUSE, "the set of rows does not come from one table; it takes no rows");
    if (state_ != EditState::kNone)
      CancelUpdate();
    addedFrom_ = current_;
    rows_.emplace_back(shape_->names.size());
    current_ = rows_.size() - 1;
    written_.assign(shape_->names.size(), false);
    state_ = EditState::kAdding;
    return true;
  } catch (...) {
    return Fail(SQLITE_NOMEM, "out of memory");
  }
}

void CADORecordset::Edit() {
  try {
    if (!open_ || current_ >= rows_.size()) {
      Fail(SQLITE_MISUSE, "there is no current row to edit");
      return;
    }
    if (state_ != EditState::kNone)
      CancelUpdate();
    saved_ = rows_[current_];
    written_.assign(shape_->names.size(), false);
    state_ = EditState::kEditing;
  } catch (...) {
    state_ = EditState::kNone;
    Fail(SQLITE_NOMEM, "out of memory");
  }
}

std::ptrdiff_t CADORecordset::ColumnIndex(std::string_view column) {
  const auto& names = shape_->names;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (EqualsNoCase(names[i], column))
      return static_cast<std::ptrdiff_t>(i);
  }
  Fail(SQLITE_ERROR, "no such column: " + std::string(column));
  return -1;
}

const SqlValue* CADORecordset::Field(std::string_view column) {
  if (!open_ || current_ >= rows_.size()) {
    Fail(SQLITE_MISUSE, "there is no current row");
    return nullptr;
  }
  const auto index = ColumnIndex(column);
  if (index < 0)
    return nullptr;
  return &rows_[current_][static_cast<std::size_t>(index)];
}

bool CADORecordset::ReadField(std::string_view column, std::int32_t& value) {
  try {
    value = 0;
    const SqlValue* field = Field(column);
    if (field == nullptr)
      return false;
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t whole = 0;
    if (const auto* integer = std::get_if<std::int64_t>(field)) {
      whole = *integer;
    } else if (const auto* real = std::get_if<double>(field)) {
      if (!(*real >= kMin && *real <= kMax))
        return Fail(SQLITE_RANGE, "field " + std::string(column) + " holds no 32-bit integer");
      whole = static_cast<std::int64_t>(*real);
    } else if (const auto* text = std::get_if<std::string>(field)) {
      std::size_t first = 0;
      std::size_t last = text->size();
      while (first < last && std::isspace(static_cast<unsigned char>((*text)[first])))
        ++first;
      while (last > first && std::isspace(static_cast<unsigned char>((*text)[last - 1])))
        --last;
      if (first == last)
        return true;
      const char* begin = text->data() + first;
      const char* end = text->data() + last;
      const auto parsed = std::from_chars(begin, end, whole);
      if (parsed.ec != std::errc() || parsed.ptr != end)
        return Fail(SQLITE_MISMATCH, "field " + std::string(column) + " holds no integer");
    }
    if (whole < kMin || whole > kMax)
      return Fail(SQLITE_RANGE, "field " + std::string(column) + " holds no 32-bit integer");
    value = static_cast<std::int32_t>(whole);
    return true;
  } catch (...) {
    return Fail(SQLITE_NOMEM, "out of memory");
  }
}

bool CADORecordset::ReadField(std::string_view column, std::string& value) {
  try {
    value.clear();
    const SqlValue* field = Field(column);
    if (field == nullptr)
      return false;
    if (const auto* integer = std::get_if<std::int64_t>(field)) {
      value = std::to_string(*integer);
    } else if (const auto* real = std::get_if<double>(field)) {
      char text[32];
      std::snprintf(text, sizeof text, "%.15g", *real);
      value = text;
    } else if (const auto* stored = std::get_if<std::string>(field)) {
      value = *stored;
    }
    return true;
  } catch (...) {
    return Fail(SQLITE_NOMEM, "out of memory");
  }
}

bool CADORecordset::Write(std::string_view column, SqlValue value) {
  try {
    if (state_ == EditState::kNone)
      return Fail(SQLITE_MISUSE, "no row is being added or edited");
    const auto index = ColumnIndex(column);
    if (index < 0)
      return false;
    const auto i = static_cast<std::size_t>(index);
    if (shape_->origins[i].empty())
      return Fail(SQLITE_MISUSE, "column " + std::string(column) + " is no table column");
    rows_[current_][i] = std::move(value);
    written_[i] = true;
    return true;
  } catch (...) {
    return Fail(SQLITE_NOMEM, "out of memory");
  }
}

bool CADORecordset::WriteField(std::string_view column, std::int64_t value) {
  return Write(column, value);
}

bool CADORecordset::WriteField(std::string_view column, std::string_view value) {
  try {
    return Write(column, std::string(value));
  } catch (...) {
    return Fail(SQLITE_NOMEM, "out of memory");
  }
}

bool CADORecordset::Update() {
  if (state_ == EditState::kNone)
    return true;
  try {
    std::string columns;
    SqlParams values;
    for (std::size_t i = 0; i < written_.size(); ++i) {
      if (!written_[i])
        continue;
      if (!columns.empty())
        columns += ',';
      columns += QuoteIdentifier(shape_->origins[i]);
      values.push_back(rows_[current_][i]);
    }
    std::string statement;
    if (state_ == EditState::kAdding) {
      if (values.empty()) {
        statement = "INSERT INTO " + QuoteIdentifier(shape_->table) + " DEFAULT VALUES";
      } else {
        std::string marks;
        for (std::size_t i = 0; i < values.size(); ++i)
          marks += i == 0 ? "?" : ",?";
        statement = "INSERT INTO " + QuoteIdentifier(shape_->table) + " (" + columns +
                    ") VALUES (" + marks + ")";
      }
    } else {
      if (values.empty()) {
        CancelUpdate();
        return true;
      }
      if (shape_->rowidIndex < 0) {
        CancelUpdate();
        return Fail(SQLITE_MISUSE, "the set of rows shows no rowid; its rows cannot be written");
      }
      const SqlValue& rowid = saved_[static_cast<std::size_t>(shape_->rowidIndex)];
      if (!std::holds_alternative<std::int64_t>(rowid)) {
        CancelUpdate();
        return Fail(SQLITE_MISUSE, "the row has no rowid; it cannot be written");
      }
      std::string assignments;
      for (std::size_t i = 0; i < written_.size(); ++i) {
        if (!written_[i])
          continue;
        if (!assignments.empty())
          assignments += ',';
        assignments += QuoteIdentifier(shape_->origins[i]) + "=?";
      }
      statement =
          "UPDATE " + QuoteIdentifier(shape_->table) + " SET " + assignments + " WHERE rowid=?";
      values.push_back(rowid);
    }

    sqlite3_stmt* prepared = db_.Prepare(statement, values);
    if (prepared == nullptr) {
      CancelUpdate();
      return FailFromDatabase();
    }
    const int rc = sqlite3_step(prepared);
    if (rc != SQLITE_DONE) {
      db_.RecordSqliteError();
      db_.Release(prepared);
      CancelUpdate();
      return FailFromDatabase();
    }
    db_.Release(prepared);
    if (state_ == EditState::kAdding) {
      if (shape_->rowidIndex >= 0)
        rows_[current_][static_cast<std::size_t>(shape_->rowidIndex)] =
            static_cast<std::int64_t>(sqlite3_last_insert_rowid(db_.db_));
    } else if (sqlite3_changes(db_.db_) == 0) {
      CancelUpdate();
      return Fail(SQLITE_NOTFOUND, "the row cannot be found to be written; it was deleted");
    }
    saved_.clear();
    written_.clear();
    state_ = EditState::kNone;
    return true;
  } catch (...) {
    CancelUpdate();
    return Fail(SQLITE_NOMEM, "out of memory");
  }
}

}  // namespace brevant
