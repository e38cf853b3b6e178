#include "platform/db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <fstream>

#include "support/test_support.h"

namespace {

using plat::db::Connection;
using plat::db::DataSourceOf;
using plat::db::Error;
using plat::db::Recordset;
using plat::db::Value;
using testsupport::TempDir;

std::string JetString(const std::string& path) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=" + path +
         ";Jet OLEDB:Database Password=qm25170894;";
}

// No statement of the connection is left unfinalized.
void ExpectNoOpenStatements(const Connection& c) {
  ASSERT_NE(c.Raw(), nullptr);
  EXPECT_EQ(sqlite3_next_stmt(c.Raw(), nullptr), nullptr);
}

class DbFile : public ::testing::Test {
 protected:
  void SetUp() override {
    file = (dir / "save.kzs").string();
    Connection c;
    c.Create(file);
    c.ExecuteScript(
        "CREATE TABLE Save1 (ID TEXT, Name TEXT, Level INTEGER DEFAULT 1, Gold REAL);"
        "CREATE TABLE Save2 (ID TEXT, No INTEGER, Name TEXT DEFAULT ' ', Num INTEGER DEFAULT 0,"
        " Note TEXT DEFAULT 'it''s new', Price REAL DEFAULT (2.5), Extra TEXT);");
  }

  void OpenConn() { conn.Open(JetString(file)); }

  TempDir dir;
  std::string file;
  Connection conn;
};

// ------------------------------------------------------------- connection strings

TEST(DbConnectionString, OnlyTheDataSourceCounts) {
  EXPECT_EQ(DataSourceOf(JetString("/games/orv/Save/甲.kzs")), "/games/orv/Save/甲.kzs");
  // The key without case, blanks around key and value trimmed, value up to the next ';'.
  EXPECT_EQ(DataSourceOf("provider=x; data source =  /a b/c.dat  ;jet oledb:database password=p;"),
            "/a b/c.dat");
  EXPECT_EQ(DataSourceOf("DATA SOURCE=/x.dat"), "/x.dat");
  // A Windows-style path keeps its backslashes for the path resolver.
  EXPECT_EQ(DataSourceOf("Data Source=/g\\Date\\Mon\\75.dat;"), "/g\\Date\\Mon\\75.dat");
  // No key: the whole text is the path.
  EXPECT_EQ(DataSourceOf("/tmp/plain.db"), "/tmp/plain.db");
  // A key that only contains the words is not the data source.
  EXPECT_EQ(DataSourceOf("Old Data Source=/wrong;Data Source=/right"), "/right");
}

TEST(DbConnection, MissingFileAndNonDatabaseFail) {
  TempDir dir;
  Connection c;
  EXPECT_THROW(c.Open(JetString((dir / "none.kzs").string())), Error);
  EXPECT_FALSE(c.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(dir / "none.kzs"));  // never created by Open

  std::string junk = (dir / "junk.dat").string();
  {
    std::ofstream f(junk, std::ios::binary);
    for (int i = 0; i < 200; ++i) f << "this is a plain text file, not a database\n";
  }
  EXPECT_THROW(c.Open(JetString(junk)), Error);
  EXPECT_FALSE(c.IsOpen());
  EXPECT_THROW(c.Create(junk), Error);

  EXPECT_THROW(c.Open("Data Source=;"), Error);
  EXPECT_THROW(c.Open(JetString(dir.path().string())), Error);  // a folder
}

TEST(DbConnection, OpensAGamePathAndAReadOnlyFile) {
  TempDir dir;
  std::filesystem::create_directories(dir / "date" / "mon");
  std::string real = (dir / "date" / "mon" / "75.dat").string();
  {
    Connection c;
    c.Create(real);
    c.Execute("CREATE TABLE NPC (NpcCode TEXT, map TEXT, Inf TEXT)");
    c.Execute("INSERT INTO NPC VALUES (?, ?, ?)", {"A1", "m1", "#say"});
  }
  // The game writes its own folder names in other case and with backslashes.
  Connection c;
  c.Open(JetString(dir.path().string() + "\\Date\\Mon\\75.dat"));
  EXPECT_EQ(c.Scalar("SELECT Inf FROM NPC").AsText(), "#say");
  c.Close();

  std::filesystem::permissions(real, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  c.Open(JetString(real));
  EXPECT_EQ(c.Scalar("SELECT count(*) FROM NPC").AsInt(), 1);
  if (::geteuid() != 0) {
    EXPECT_THROW(c.Execute("DELETE FROM NPC"), Error);
  }
}

// ------------------------------------------------------------------------- values

TEST(DbValue, NumbersFromTextAndReals) {
  EXPECT_EQ(Value("12.5").AsLong(), 12);  // halves to even
  EXPECT_EQ(Value("13.5").AsLong(), 14);
  EXPECT_EQ(Value("  7 abc").AsLong(), 7);
  EXPECT_EQ(Value("abc").AsLong(), 0);
  EXPECT_EQ(Value("-2.5").AsLong(), -2);
  EXPECT_EQ(Value(2.5).AsLong(), 2);
  EXPECT_EQ(Value(3.5).AsLong(), 4);
  EXPECT_EQ(Value(-7.6).AsLong(), -8);
  EXPECT_EQ(Value().AsLong(), 0);
  EXPECT_EQ(Value(1e300).AsInt(), std::numeric_limits<long long>::max());  // no overflow
  EXPECT_EQ(Value(-1e300).AsInt(), std::numeric_limits<long long>::min());
  EXPECT_EQ(Value("1e400").AsInt(), std::numeric_limits<long long>::max());

  EXPECT_EQ(Value(12.0).AsText(), "12");
  EXPECT_EQ(Value(-3.0).AsText(), "-3");
  EXPECT_EQ(Value(0.25).AsText(), "0.25");
  EXPECT_EQ(Value(1.1).AsText(), "1.1");
  EXPECT_EQ(Value(42).AsText(), "42");
  EXPECT_EQ(Value().AsText(), "");
  EXPECT_DOUBLE_EQ(Value("3.75xyz").AsReal(), 3.75);
  EXPECT_TRUE(Value().IsNull());
  EXPECT_NE(Value(3), Value(3.0));
}

// ---------------------------------------------------------------- queries and rows

TEST_F(DbFile, TextAndNumbersRoundTrip) {
  OpenConn();
  conn.Execute("INSERT INTO Save1 (ID, Name, Level, Gold) VALUES (?1, ?2, ?3, ?4)",
               {"勇者", "李逍遥·剑", 2147483647LL * 3, 12.5});
  Recordset rs;
  rs.Open("Select * from Save1 where id=?", conn, {"勇者"});
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs["Name"].AsText(), "李逍遥·剑");
  EXPECT_EQ(rs["Level"].AsInt(), 2147483647LL * 3);
  EXPECT_EQ(rs["Gold"], Value(12.5));
  EXPECT_EQ((std::vector<std::string>{"ID", "Name", "Level", "Gold"}), rs.Columns());

  rs.SetField("Name", "新名字");
  rs.SetField("Gold", 99);
  rs.Update();
  rs.Close();
  EXPECT_TRUE(conn.IsOpen());  // closing the recordset leaves the connection
  conn.Close();

  OpenConn();
  rs.Open("Select * from Save1 where id=?", conn, {"勇者"});
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs["name"].AsText(), "新名字");
  EXPECT_EQ(rs["gold"].AsInt(), 99);
  rs.Close();
  ExpectNoOpenStatements(conn);
}

TEST_F(DbFile, NamesWithoutCaseAndInBrackets) {
  OpenConn();
  conn.Execute("INSERT INTO Save2 (ID, No, Name) VALUES (?, ?, ?)", {"AB", 1, "剑"});
  EXPECT_TRUE(conn.HasTable("save2"));
  EXPECT_TRUE(conn.HasTable("SAVE1"));
  EXPECT_FALSE(conn.HasTable("Save3"));
  EXPECT_EQ(conn.ColumnsOf("SAVE1"), (std::vector<std::string>{"ID", "Name", "Level", "Gold"}));
  EXPECT_THROW(conn.ColumnsOf("Save3"), Error);

  for (const char* sql : {"Select * from [Save2] where id=?", "select * from save2 where ID=?",
                          "SELECT * FROM [SAVE2] WHERE Id = ?", "  select  *  from\n\"Save2\" where id=?;"}) {
    SCOPED_TRACE(sql);
    Recordset rs;
    rs.Open(sql, conn, {"AB"});
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Field("NAME").AsText(), "剑");
    EXPECT_EQ(rs.Field("no").AsInt(), 1);
  }
  Recordset all;
  all.Open("Select * from save2", conn);
  EXPECT_EQ(all.RecordCount(), 1);
}

TEST_F(DbFile, ParametersWithQuotesHarmNothing) {
  OpenConn();
  conn.Execute("CREATE TABLE Item (Name TEXT, Money INTEGER)");
  conn.Execute("CREATE TABLE NPC (NpcCode TEXT, map TEXT, Inf TEXT)");
  conn.Execute("INSERT INTO Item VALUES (?, ?)", {"O'x", 10});
  conn.Execute("INSERT INTO Item VALUES (?, ?)", {"a';drop table Item;--", 11});
  conn.Execute("INSERT INTO NPC VALUES (?, ?, ?)", {"N'1", "m' or '1'='1", "#A"});
  conn.Execute("INSERT INTO NPC VALUES (?, ?, ?)", {"N'1", "m2", "#B"});

  Recordset rs;
  rs.Open("Select * from Item where Name=?", conn, {"a';drop table Item;--"});
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs["Money"].AsInt(), 11);
  rs.SetField("Name", "b'); delete from Item; --");
  rs.Update();
  rs.Open("Select * from Item where Name=?", conn, {"O'x"});
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs["Money"].AsInt(), 10);
  rs.Open("select * from NPC where NpcCode=? and map=?", conn, {"N'1", "m2"});
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs["Inf"].AsText(), "#B");
  rs.Open("select * from NPC where NpcCode=? and map=?", conn, {"N'1", "x' or '1'='1"});
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_TRUE(rs.Eof());
  rs.Close();

  EXPECT_TRUE(conn.HasTable("Item"));
  EXPECT_EQ(conn.Scalar("SELECT count(*) FROM Item").AsInt(), 2);
  EXPECT_EQ(conn.Scalar("SELECT Money FROM Item WHERE Name = ?", {"b'); delete from Item; --"}).AsInt(), 11);
  EXPECT_EQ(conn.Scalar("SELECT count(*) FROM NPC").AsInt(), 2);
  ExpectNoOpenStatements(conn);
}

TEST_F(DbFile, AddNewTakesTheTableDefaults) {
  OpenConn();
  Recordset rs;
  rs.Open("Select * from save2", conn);
  EXPECT_TRUE(rs.Eof());
  rs.AddNew();
  EXPECT_FALSE(rs.Eof());
  // Before the insert the fields read as the declared defaults.
  EXPECT_EQ(rs["Name"].AsText(), " ");
  EXPECT_EQ(rs["Note"].AsText(), "it's new");
  EXPECT_EQ(rs["Price"], Value(2.5));
  EXPECT_EQ(rs["Num"], Value(0));
  EXPECT_TRUE(rs["Extra"].IsNull());
  rs.SetField("ID", "AB");
  rs.SetField("No", 5);
  rs.SetField("Num", 3);
  rs.Update();
  // The new row is current, as stored.
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs["No"].AsInt(), 5);
  EXPECT_EQ(rs["Num"].AsInt(), 3);
  EXPECT_EQ(rs["Name"].AsText(), " ");
  // Edit it again: it goes to the same row.
  rs.SetField("Extra", "x");
  rs.Update();
  // A second new row with nothing set is all defaults.
  rs.AddNew();
  rs.Update();
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_TRUE(rs["ID"].IsNull());
  rs.Close();

  EXPECT_EQ(conn.Scalar("SELECT count(*) FROM Save2").AsInt(), 2);
  EXPECT_EQ(conn.Scalar("SELECT Note FROM Save2 WHERE No = 5").AsText(), "it's new");
  EXPECT_EQ(conn.Scalar("SELECT Extra FROM Save2 WHERE No = 5").AsText(), "x");
  EXPECT_EQ(conn.Scalar("SELECT Price FROM Save2 WHERE No = 5"), Value(2.5));
  EXPECT_EQ(conn.Scalar("SELECT Num FROM Save2 WHERE No IS NULL"), Value(0));

  // A new character: one row in Save1, the level from its default.
  rs.Open("Select * from Save1", conn);
  rs.AddNew();
  EXPECT_EQ(rs["Level"].AsInt(), 1);
  rs.SetField("ID", "CD");
  rs.Update();
  EXPECT_EQ(conn.Scalar("SELECT Level FROM Save1 WHERE ID = 'CD'").AsInt(), 1);
  ExpectNoOpenStatements(conn);
}

TEST_F(DbFile, UpdateChangesExactlyTheCurrentRow) {
  OpenConn();
  conn.Begin();
  for (int i = 1; i <= 4; ++i) {
    // Rows 2 and 3 share their key.
    conn.Execute("INSERT INTO Save2 (ID, No, Name) VALUES (?, ?, ?)", {i == 3 ? "K2" : "K" + std::to_string(i), i, "n"});
  }
  conn.Commit();

  Recordset rs;
  rs.Open("Select * from [Save2] where id=?", conn, {"K2"});
  ASSERT_EQ(rs.RecordCount(), 2);
  // Both rows with the same key are there, in order.
  EXPECT_EQ(rs["No"].AsInt(), 2);
  rs.MoveNext();
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs["No"].AsInt(), 3);
  rs.SetField("Name", "second");
  rs.Update();
  rs.MoveNext();
  EXPECT_TRUE(rs.Eof());
  EXPECT_THROW(rs.Field("Name"), Error);
  EXPECT_THROW(rs.Update(), Error);
  rs.MoveNext();  // stays at the end
  EXPECT_TRUE(rs.Eof());
  rs.MoveFirst();
  rs.SetField("Name", "first");
  rs.Update();
  rs.Close();

  EXPECT_EQ(conn.Scalar("SELECT Name FROM Save2 WHERE No = 1").AsText(), "n");
  EXPECT_EQ(conn.Scalar("SELECT Name FROM Save2 WHERE No = 2").AsText(), "first");
  EXPECT_EQ(conn.Scalar("SELECT Name FROM Save2 WHERE No = 3").AsText(), "second");
  EXPECT_EQ(conn.Scalar("SELECT Name FROM Save2 WHERE No = 4").AsText(), "n");
  EXPECT_EQ(conn.Scalar("SELECT count(*) FROM Save2").AsInt(), 4);
}

TEST_F(DbFile, EveryRowRewrittenInTurn) {
  OpenConn();
  for (int i = 0; i < 6; ++i) conn.Execute("INSERT INTO Save2 (ID) VALUES (?)", {"Z"});
  Recordset rs;
  rs.Open("Select * from [Save2]", conn);
  for (int i = 1; i <= 6; ++i) {
    ASSERT_FALSE(rs.Eof());
    rs.SetField("No", i);
    rs.SetField("Name", "slot" + std::to_string(i));
    rs.Update();
    rs.MoveNext();
  }
  EXPECT_TRUE(rs.Eof());
  EXPECT_EQ(conn.Scalar("SELECT group_concat(No || Name, ',') FROM (SELECT * FROM Save2 ORDER BY No)").AsText(),
            "1slot1,2slot2,3slot3,4slot4,5slot5,6slot6");
}

// One prepared update runs for many rows, says how many rows each run changed, and goes
// on after a run that failed; it keeps nothing open once it is gone.
TEST_F(DbFile, PreparedStatementRunsAgainWithNewParameters) {
  OpenConn();
  conn.Execute("INSERT INTO Save2 (ID, No) VALUES ('Z', 1), ('Z', 2), ('Z', 2), ('Y', 1)");
  {
    plat::db::PreparedStatement update(conn, "UPDATE Save2 SET Name = ? WHERE ID = ? AND No = ?");
    EXPECT_EQ(update.Run({"one", "Z", 1}), 1);
    EXPECT_EQ(update.Run({"two", "Z", 2}), 2);
    EXPECT_EQ(update.Run({"none", "Z", 3}), 0);
    EXPECT_THROW(update.Run({"too few"}), Error);
    EXPECT_EQ(update.Run({"y", "Y", 1}), 1);
  }
  EXPECT_EQ(conn.Scalar("SELECT group_concat(ID || No || Name, ',') FROM (SELECT * FROM Save2 ORDER BY ID, No)")
                .AsText(),
            "Y1y,Z1one,Z2two,Z2two");
  ExpectNoOpenStatements(conn);
  EXPECT_THROW(plat::db::PreparedStatement(conn, "UPDATE Nowhere SET a = 1"), Error);
}

TEST_F(DbFile, LeavingAnEditedRowSavesIt) {
  OpenConn();
  conn.Execute("INSERT INTO Save1 (ID, Name) VALUES ('A', 'a'), ('B', 'b')");
  Recordset rs;
  rs.Open("Select * from Save1", conn);
  rs.SetField("Name", "edited");
  rs.MoveNext();
  EXPECT_EQ(conn.Scalar("SELECT Name FROM Save1 WHERE ID = 'A'").AsText(), "edited");
  rs.AddNew();
  rs.SetField("ID", "C");
  rs.MoveFirst();
  EXPECT_EQ(conn.Scalar("SELECT count(*) FROM Save1 WHERE ID = 'C'").AsInt(), 1);
  EXPECT_EQ(rs.RecordCount(), 3);
  EXPECT_EQ(rs["Name"].AsText(), "edited");
}

TEST_F(DbFile, BadColumnsQueriesAndParameters) {
  OpenConn();
  conn.Execute("INSERT INTO Save1 (ID) VALUES ('A')");
  Recordset rs;
  rs.Open("Select * from Save1", conn);
  EXPECT_THROW(rs.Field("Nope"), Error);
  EXPECT_THROW(rs.SetField("Nope", 1), Error);
  EXPECT_THROW(rs["ID "], Error);

  EXPECT_THROW(rs.Open("Select * from Save9", conn), Error);
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_THROW(rs.Open("Select Name from Save1", conn), Error);
  EXPECT_THROW(rs.Open("Select * from Save1, Save2", conn), Error);
  EXPECT_THROW(rs.Open("Delete from Save1", conn), Error);
  EXPECT_THROW(rs.Open("Select * from Save1 where id=?", conn), Error);  // parameter missing
  EXPECT_THROW(rs.Field("ID"), Error);                                   // not open

  EXPECT_THROW(conn.Execute("INSERT INTO Save1 (ID) VALUES (?)", {"a", "b"}), Error);
  EXPECT_THROW(conn.Execute("DELETE FROM Save1; DELETE FROM Save2"), Error);
  EXPECT_THROW(conn.Execute("INSERT INTO Nowhere VALUES (1)"), Error);
  EXPECT_THROW(conn.ExecuteScript("CREATE TABLE x (a); garbage here;"), Error);
  EXPECT_EQ(conn.Scalar("SELECT count(*) FROM Save1").AsInt(), 1);
  EXPECT_TRUE(conn.Scalar("SELECT ID FROM Save1 WHERE ID = ?", {"none"}).IsNull());
  ExpectNoOpenStatements(conn);

  Connection closed;
  EXPECT_THROW(closed.Execute("SELECT 1"), Error);
  EXPECT_THROW(rs.Open("Select * from Save1", closed), Error);
}

TEST_F(DbFile, TransactionsCommitAndRollBack) {
  OpenConn();
  conn.Begin();
  conn.Execute("INSERT INTO Save1 (ID) VALUES (?)", {"gone"});
  conn.Rollback();
  conn.Begin();
  conn.Execute("INSERT INTO Save1 (ID) VALUES (?)", {"kept"});
  conn.Commit();
  conn.Close();
  OpenConn();
  EXPECT_EQ(conn.Scalar("SELECT group_concat(ID) FROM Save1").AsText(), "kept");
  EXPECT_THROW(conn.Commit(), Error);  // no transaction
}

}  // namespace
