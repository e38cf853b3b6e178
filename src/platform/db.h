// Databases: a connection and a recordset over SQLite, opened from the connection
// strings the game builds (only "Data Source=" matters). Values from players or data
// are always bound parameters, never pasted into SQL. Table and column names keep the
// game's own spelling and compare without case.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;

namespace plat::db {

// Any failure of the database layer: a missing file, not a database, no such table or
// column, a failed write.
struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One field value.
class Value {
 public:
  Value() = default;  // null
  Value(long long v) : v_(v) {}
  Value(long v) : v_(static_cast<long long>(v)) {}
  Value(int v) : v_(static_cast<long long>(v)) {}
  Value(double v) : v_(v) {}
  Value(std::string v) : v_(std::move(v)) {}
  Value(const char* v) : v_(std::string(v)) {}

  bool IsNull() const { return std::holds_alternative<std::monostate>(v_); }
  bool IsText() const { return std::holds_alternative<std::string>(v_); }
  // Numbers as they are; text read with Val and rounded half to even; null is 0.
  long long AsInt() const;
  long AsLong() const { return static_cast<long>(AsInt()); }
  double AsReal() const;
  // Text as it is; whole numbers in decimal; null is "".
  std::string AsText() const;

  bool operator==(const Value&) const = default;

 private:
  std::variant<std::monostate, long long, double, std::string> v_;
};

// The path after "Data Source=" (up to the next ';'), or the whole text when it has no
// such key.
std::string DataSourceOf(std::string_view connectionString);

class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  // Opens the database named by the connection string. The file must exist and be a
  // database; throws Error otherwise.
  void Open(std::string_view connectionString);
  // Opens the existing database file at exactly this path (any characters in it, ';'
  // included); throws Error when it is missing or not a database.
  void OpenPath(const std::filesystem::path& file);
  // Creates (or opens) the database file at path; for the tools and tests.
  void Create(const std::filesystem::path& path);
  bool IsOpen() const { return db_ != nullptr; }
  void Close();

  // Runs one statement with bound parameters (?1, ?2 ... or ?); throws Error on failure.
  void Execute(std::string_view sql, const std::vector<Value>& params = {});
  // Runs several statements without parameters (schema scripts).
  void ExecuteScript(std::string_view sql);
  void Begin();
  void Commit();
  void Rollback();
  // The first column of the first row of a query, or null.
  Value Scalar(std::string_view sql, const std::vector<Value>& params = {});
  bool HasTable(std::string_view table);
  // Column names of a table in their declared order.
  std::vector<std::string> ColumnsOf(std::string_view table);

  sqlite3* Raw() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// One statement prepared once on an open connection and run many times with other
// parameters, such as an update of many rows inside one transaction. It must not outlive
// the connection.
class PreparedStatement {
 public:
  // Throws Error when the statement cannot be prepared.
  PreparedStatement(Connection& conn, std::string_view sql);
  PreparedStatement(const PreparedStatement&) = delete;
  PreparedStatement& operator=(const PreparedStatement&) = delete;
  ~PreparedStatement();

  // Runs the statement to its end with these parameters; the rows it changed (INSERT,
  // UPDATE or DELETE). Throws Error on failure.
  long long Run(const std::vector<Value>& params);

 private:
  struct Prepared;  // the connection and its prepared statement
  std::unique_ptr<Prepared> prepared_;
};

// A keyset recordset over one table: "Select * from T [where ...]" with bound
// parameters. The rows are read when the recordset opens; fields are read and set by
// column name (without case); Update writes the current row back (or inserts the row
// begun by AddNew).
class Recordset {
 public:
  Recordset() = default;
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  void Open(std::string_view sql, Connection& conn, const std::vector<Value>& params = {});
  bool IsOpen() const { return conn_ != nullptr; }
  void Close();

  bool Eof() const;
  void MoveFirst();
  void MoveNext();
  long RecordCount() const;

  // Field of the current row; throws Error for an unknown column or with no current row.
  const Value& Field(std::string_view column) const;
  const Value& operator[](std::string_view column) const { return Field(column); }
  // Sets a field of the current row (or of the row begun by AddNew).
  void SetField(std::string_view column, Value v);
  void AddNew();
  // Writes the changed fields of the current row, or inserts the new row.
  void Update();

  const std::vector<std::string>& Columns() const { return columns_; }

 private:
  int ColumnIndex(std::string_view column) const;

  Connection* conn_ = nullptr;
  std::string table_;
  std::vector<std::string> columns_;
  std::vector<long long> rowids_;
  std::vector<std::vector<Value>> rows_;
  std::vector<Value> pending_;
  std::vector<bool> changed_;
  std::size_t pos_ = 0;
  bool adding_ = false;
};

// A query kept ready on one database file, for a lookup run many times in a row: the
// file is opened and the query prepared on the first run, and both are kept for the
// runs after. Before every run the file at the path is looked at again; when the path
// is another one, or the file there was replaced, changed or removed since it was
// opened, what is kept is closed and the file opened afresh, so no row ever comes from a
// file that is gone. A run reads the first row of the result.
class KeptQuery {
 public:
  explicit KeptQuery(std::string sql);
  KeptQuery(const KeptQuery&) = delete;
  KeptQuery& operator=(const KeptQuery&) = delete;
  ~KeptQuery();

  // Runs the query on the database file at exactly this path with bound parameters; true
  // when it gave a row. Throws Error when the file is missing or not a database or the
  // query fails; nothing stays open then.
  bool Run(const std::filesystem::path& file, const std::vector<Value>& params);
  // A field of the row of the last run, by column name without case; throws Error for
  // an unknown column or when the last run gave no row.
  const Value& Field(std::string_view column) const;
  const Value& operator[](std::string_view column) const { return Field(column); }

  bool IsOpen() const { return kept_ != nullptr; }
  void Close();

 private:
  struct Kept;  // the open file, its prepared query and what the file was when opened

  std::string sql_;
  std::unique_ptr<Kept> kept_;
  std::vector<std::string> columns_;
  std::vector<Value> row_;
  bool hasRow_ = false;
};

}  // namespace plat::db
