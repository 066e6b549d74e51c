#include "records/ado_database.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace brevant {
namespace {

using testing::TempDir;

std::string DatabaseReport(const std::string& connection, const std::string& code,
                           const std::string& meaning, const std::string& description) {
  return "Connection String = " + connection + "\nCADODataBase Error\n\tCode = " + code +
         "\n\tCode meaning = " + meaning + "\n\tSource = SQLite\n\tDescription = " + description +
         "\n";
}

TEST(AdoConnection, CreateOpenAndCloseReportEveryFailure) {
  TempDir dir;
  const std::string file = (dir / "t.db").string();
  CADODatabase db;
  ASSERT_TRUE(db.Create(file)) << db.LastError().text;
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(db.Open(file)) << db.LastError().text;
  EXPECT_TRUE(db.IsOpen());
  db.Close();
  EXPECT_FALSE(db.IsOpen());

  EXPECT_FALSE(db.Create(file));  // exists already
  EXPECT_EQ(db.LastError().code, 14u);
  EXPECT_EQ(db.LastError().text, DatabaseReport(file, "0000000e", "unable to open database file",
                                                "the database file exists already"));

  const std::string missing = (dir / "missing.db").string();
  EXPECT_FALSE(db.Open(missing));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.LastError().text, DatabaseReport(missing, "0000000e", "unable to open database file",
                                                "unable to open database file"));

  const std::string junk = dir.Write("junk.db", std::string(4096, 'x')).string();
  EXPECT_FALSE(db.Open(junk));
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(db.LastError().code, 26u) << db.LastError().text;  // not a database

  EXPECT_FALSE(db.Create((dir / "no" / "folder.db").string()));
  EXPECT_FALSE(db.Execute("CREATE TABLE t(a)"));  // closed
}

class AdoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = (dir_ / "t.db").string();
    ASSERT_TRUE(db_.Create(file_));
    ASSERT_TRUE(db_.Open(file_));
    ASSERT_TRUE(db_.Execute("PRAGMA synchronous=OFF"));
    ASSERT_TRUE(db_.Execute("CREATE TABLE t(ID INTEGER PRIMARY KEY, n int, s char(10))"));
    // Counts every row write, so a test can see that nothing was written.
    ASSERT_TRUE(db_.Execute("CREATE TABLE writes(what)"));
    ASSERT_TRUE(db_.Execute(
        "CREATE TRIGGER t_updated AFTER UPDATE ON t BEGIN INSERT INTO writes VALUES('u'); END"));
    ASSERT_TRUE(db_.Execute(
        "CREATE TRIGGER t_inserted AFTER INSERT ON t BEGIN INSERT INTO writes VALUES('i'); END"));
    const std::pair<int, const char*> rows[] = {{1, "one"}, {2, "two"}, {3, "three"}};
    for (const auto& [n, s] : rows)
      ASSERT_TRUE(db_.Execute("INSERT INTO t(n, s) VALUES(?, ?)", {std::int64_t{n}, s}));
    ASSERT_TRUE(db_.Execute("DELETE FROM writes"));
  }

  long Count(const std::string& table) {
    CADORecordset rs(db_);
    std::int32_t count = -1;
    EXPECT_TRUE(rs.Open("select count(*) AS c from " + table));
    EXPECT_TRUE(rs.ReadField("c", count));
    return count;
  }
  std::string TextOf(std::int64_t id) {
    CADORecordset rs(db_);
    std::string text;
    EXPECT_TRUE(rs.Open("select * from t where ID=?", {id}));
    EXPECT_TRUE(rs.ReadField("s", text));
    return text;
  }

  TempDir dir_;
  std::string file_;
  CADODatabase db_;
};

TEST_F(AdoTest, ExecuteBindsValuesAndCountsAffectedRows) {
  ASSERT_TRUE(db_.Execute("UPDATE t SET s=? WHERE n >= ?", {std::string("it's \"x\""), 2}));
  EXPECT_EQ(db_.AffectedRows(), 2);
  EXPECT_EQ(TextOf(2), "it's \"x\"");
  EXPECT_EQ(TextOf(1), "one");

  EXPECT_FALSE(db_.Execute("UPDATE t SET s=? WHERE n=?", {std::string("too few")}));
  EXPECT_NE(db_.LastError().text.find("takes 2 parameters, 1 were given"), std::string::npos);
  // One statement per call: whatever follows a semicolon never runs.
  EXPECT_FALSE(db_.Execute("DELETE FROM writes; DROP TABLE t"));
  EXPECT_EQ(Count("t"), 3);
  EXPECT_TRUE(db_.Execute("UPDATE t SET n=n; -- the whole table\n")) << db_.LastError().text;
  EXPECT_EQ(db_.AffectedRows(), 3);
}

TEST_F(AdoTest, UpdateWithoutPendingEditIsTrueAndWritesNothing) {
  CADORecordset rs(db_);
  ASSERT_TRUE(rs.Open("select * from t order by ID"));
  EXPECT_EQ(rs.RowCount(), 3);
  EXPECT_TRUE(rs.Update());
  rs.Edit();
  EXPECT_TRUE(rs.Update());  // an edit that changed no field
  rs.Close();
  EXPECT_EQ(Count("writes"), 0);
}

TEST_F(AdoTest, EditWritesTheCurrentRowBackAndAddNewInserts) {
  CADORecordset rs(db_);
  ASSERT_TRUE(rs.Open("select * from t order by ID"));
  rs.MoveNext();
  rs.Edit();
  ASSERT_TRUE(rs.WriteField("S", "second"));  // names ignore letter case
  ASSERT_TRUE(rs.WriteField("n", 20));
  ASSERT_TRUE(rs.Update()) << rs.LastError().text;
  std::string text;
  EXPECT_TRUE(rs.ReadField("s", text));
  EXPECT_EQ(text, "second");

  ASSERT_TRUE(rs.AddNew());
  ASSERT_TRUE(rs.WriteField("s", "four"));
  ASSERT_TRUE(rs.Update()) << rs.LastError().text;
  std::int32_t id = 0;
  EXPECT_TRUE(rs.ReadField("ID", id));
  EXPECT_EQ(rs.RowCount(), 4);
  rs.Close();

  EXPECT_EQ(TextOf(1), "one");
  EXPECT_EQ(TextOf(2), "second");
  EXPECT_EQ(TextOf(3), "three");
  EXPECT_EQ(TextOf(id), "four");
  EXPECT_EQ(Count("writes"), 2);
}

TEST_F(AdoTest, CloseAndMoveNextDiscardWhatUpdateDidNotWrite) {
  CADORecordset rs(db_);
  ASSERT_TRUE(rs.Open("select * from t"));
  ASSERT_TRUE(rs.AddNew());
  ASSERT_TRUE(rs.WriteField("s", "never"));
  rs.Close();
  EXPECT_EQ(Count("t"), 3);

  ASSERT_TRUE(rs.Open("select * from t order by ID"));
  rs.Edit();
  ASSERT_TRUE(rs.WriteField("s", "never"));
  rs.MoveNext();
  EXPECT_TRUE(rs.Update());
  rs.Close();
  EXPECT_EQ(TextOf(1), "one");
  EXPECT_EQ(Count("writes"), 0);
}

TEST_F(AdoTest, IntegersReadWhole) {
  struct Case {
    SqlValue stored;
    bool ok;
    std::int32_t value;
  };
  const Case cases[] = {
      {std::int64_t{70000}, true, 70000},   {std::int64_t{7}, true, 7},
      {std::int64_t{-70000}, true, -70000}, {std::int64_t{2147483647}, true, 2147483647},
      {std::monostate{}, true, 0},          {std::string(""), true, 0},
      {std::string(" 12 "), true, 12},      {std::string("12abc"), false, 0},
      {std::int64_t{1} << 40, false, 0},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(db_.Execute("UPDATE t SET n=? WHERE ID=1", {c.stored}));
    CADORecordset rs(db_);
    ASSERT_TRUE(rs.Open("select * from t where ID=1"));
    std::int32_t value = -1;
    EXPECT_EQ(rs.ReadField("n", value), c.ok) << rs.LastError().text;
    EXPECT_EQ(value, c.value);
  }
}

TEST_F(AdoTest, TextsReadAsStoredAndNullReadsEmpty) {
  ASSERT_TRUE(db_.Execute("UPDATE t SET s=NULL WHERE ID=1"));
  ASSERT_TRUE(db_.Execute("UPDATE t SET s='  padded  ' WHERE ID=2"));
  CADORecordset rs(db_);
  ASSERT_TRUE(rs.Open("select * from t order by ID"));
  std::string text = "stale";
  EXPECT_TRUE(rs.ReadField("s", text));
  EXPECT_EQ(text, "");
  EXPECT_TRUE(rs.ReadField("n", text));
  EXPECT_EQ(text, "1");
  rs.MoveNext();
  EXPECT_TRUE(rs.ReadField("s", text));
  EXPECT_EQ(text, "  padded  ");

  EXPECT_FALSE(rs.ReadField("nothing", text));
  EXPECT_NE(rs.LastError().text.find("no such column: nothing"), std::string::npos);
  rs.MoveNext();
  rs.MoveNext();  // past the last row
  EXPECT_FALSE(rs.ReadField("s", text));
}

TEST_F(AdoTest, SyntaxErrorLeavesQueryAndReportInLastError) {
  CADORecordset rs(db_);
  EXPECT_FALSE(rs.Open("  \tselect * form t where n=?", {std::int64_t{1}}));
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_EQ(rs.LastError().code, 1u);
  EXPECT_EQ(rs.LastError().text,
            "Query = select * form t where n=?\n"
            "CADORecordset Error\n\tCode = 00000001\n\tCode meaning = SQL logic error\n"
            "\tSource = SQLite\n\tDescription = near \"form\": syntax error\n");

  EXPECT_FALSE(rs.Open("delete from t"));  // only a select opens rows
  EXPECT_EQ(Count("t"), 3);
}

TEST_F(AdoTest, FailedRowWriteCancelsThePendingChange) {
  ASSERT_TRUE(db_.Execute(
      "CREATE TRIGGER t_refused BEFORE UPDATE ON t BEGIN SELECT RAISE(ABORT, 'refused'); END"));
  ASSERT_TRUE(
      db_.Execute("CREATE TRIGGER t_full BEFORE INSERT ON t BEGIN "
                  "SELECT RAISE(ABORT, 'full'); END"));
  CADORecordset rs(db_);
  ASSERT_TRUE(rs.Open("select * from t order by ID"));
  rs.Edit();
  ASSERT_TRUE(rs.WriteField("s", "changed"));
  EXPECT_FALSE(rs.Update());
  EXPECT_EQ(rs.LastError().code, 0x713u);  // constraint failed by a trigger
  EXPECT_NE(rs.LastError().text.find("\tDescription = refused\n"), std::string::npos);
  std::string text;
  EXPECT_TRUE(rs.ReadField("s", text));
  EXPECT_EQ(text, "one");
  EXPECT_TRUE(rs.Update());  // nothing pending any more

  ASSERT_TRUE(rs.AddNew());
  ASSERT_TRUE(rs.WriteField("s", "four"));
  EXPECT_FALSE(rs.Update());
  EXPECT_EQ(rs.RowCount(), 3);
  EXPECT_FALSE(rs.WriteField("s", "no edit"));
  rs.Close();
  EXPECT_EQ(TextOf(1), "one");
  EXPECT_EQ(Count("t"), 3);
}

TEST_F(AdoTest, RowsWithoutATableBehindThemCannotBeWritten) {
  CADORecordset rs(db_);
  ASSERT_TRUE(rs.Open("select n + 1 AS m, s from t"));
  EXPECT_FALSE(rs.AddNew());
  // A table without an INTEGER PRIMARY KEY shows no rowid in its rows.
  ASSERT_TRUE(db_.Execute("CREATE TABLE plain(a int)"));
  ASSERT_TRUE(db_.Execute("INSERT INTO plain VALUES(1)"));
  ASSERT_TRUE(rs.Open("select * from plain"));
  rs.Edit();
  ASSERT_TRUE(rs.WriteField("a", 2));
  EXPECT_FALSE(rs.Update());
  std::int32_t a = 0;
  EXPECT_TRUE(rs.ReadField("a", a));
  EXPECT_EQ(a, 1);
}

}  // namespace
}  // namespace brevant
