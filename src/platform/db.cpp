// The database layer on the SQLite 3 C API. Every statement is prepared, every value
// bound; the only names written into SQL text are table and column names, and those
// are quoted as identifiers.
#include "platform/db.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>

#include "platform/paths.h"
#include "platform/text.h"

namespace plat::db {

namespace {

constexpr int kBusyTimeoutMs = 5000;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A name quoted as an SQL identifier.
std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string Message(sqlite3* db, std::string_view what) {
  std::string m(what);
  if (db != nullptr) {
    m += ": ";
    m += sqlite3_errmsg(db);
  }
  return m;
}

// A prepared statement, finalized whatever happens.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql) : db_(db) {
    if (db == nullptr) throw Error("database not open");
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) {
      throw Error(Message(db, "cannot prepare \"" + std::string(sql) + "\""));
    }
    if (stmt_ == nullptr) throw Error("empty statement");
    std::string_view rest(tail, static_cast<std::size_t>(sql.data() + sql.size() - tail));
    while (!rest.empty() && (IsBlank(rest.front()) || rest.front() == ';')) rest.remove_prefix(1);
    if (!rest.empty()) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
      throw Error("more than one statement in \"" + std::string(sql) + "\"");
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(const std::vector<Value>& params) {
    int wanted = sqlite3_bind_parameter_count(stmt_);
    if (wanted != static_cast<int>(params.size())) {
      throw Error("statement \"" + std::string(sqlite3_sql(stmt_)) + "\" takes " +
                  std::to_string(wanted) + " parameters, given " + std::to_string(params.size()));
    }
    for (int i = 0; i < wanted; ++i) BindAt(i + 1, params[static_cast<std::size_t>(i)]);
  }

  void BindAt(int index, const Value& v) {
    int rc;
    if (v.IsNull()) {
      rc = sqlite3_bind_null(stmt_, index);
    } else if (v.IsText()) {
      std::string t = v.AsText();
      rc = sqlite3_bind_text64(stmt_, index, t.data(), t.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else if (v == Value(v.AsInt())) {
      rc = sqlite3_bind_int64(stmt_, index, v.AsInt());
    } else {
      rc = sqlite3_bind_double(stmt_, index, v.AsReal());
    }
    if (rc != SQLITE_OK) throw Error(Message(db_, "cannot bind a parameter"));
  }

  // True while there is a row; throws on failure.
  bool Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw Error(Message(db_, "\"" + std::string(sqlite3_sql(stmt_)) + "\" failed"));
  }

  void RunToEnd() {
    while (Step()) {
    }
  }

  // Back to the start, for another run with new parameters.
  void Reset() { sqlite3_reset(stmt_); }

  int ColumnCount() const { return sqlite3_column_count(stmt_); }
  std::string ColumnName(int i) const {
    const char* n = sqlite3_column_name(stmt_, i);
    return n != nullptr ? n : "";
  }

  Value Column(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
      case SQLITE_INTEGER:
        return Value(static_cast<long long>(sqlite3_column_int64(stmt_, i)));
      case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt_, i));
      case SQLITE_TEXT:
      case SQLITE_BLOB: {
        const void* p = sqlite3_column_type(stmt_, i) == SQLITE_TEXT
                            ? static_cast<const void*>(sqlite3_column_text(stmt_, i))
                            : sqlite3_column_blob(stmt_, i);
        int n = sqlite3_column_bytes(stmt_, i);
        if (p == nullptr || n <= 0) return Value(std::string());
        return Value(std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)));
      }
      default:
        return Value();
    }
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// Reads a default written in a table's schema when it is a plain literal (number,
// quoted text, NULL); anything else is left to the database at insert time.
Value LiteralDefault(std::string_view d) {
  d = TrimBlanks(d);
  while (d.size() >= 2 && d.front() == '(' && d.back() == ')') d = TrimBlanks(d.substr(1, d.size() - 2));
  if (d.empty() || SameNoCase(d, "null")) return Value();
  if (SameNoCase(d, "true")) return Value(1);
  if (SameNoCase(d, "false")) return Value(0);
  if (d.size() >= 2 && d.front() == '\'' && d.back() == '\'') {
    std::string out;
    for (std::size_t i = 1; i + 1 < d.size(); ++i) {
      out += d[i];
      if (d[i] == '\'' && i + 2 < d.size() && d[i + 1] == '\'') ++i;
    }
    return Value(out);
  }
  std::string_view num = d;
  if (!num.empty() && num.front() == '+') num.remove_prefix(1);
  if (num.empty()) return Value();
  const char* first = num.data();
  const char* last = num.data() + num.size();
  long long i = 0;
  auto ri = std::from_chars(first, last, i);
  if (ri.ec == std::errc() && ri.ptr == last) return Value(i);
  double r = 0;
  auto rr = std::from_chars(first, last, r);
  if (rr.ec == std::errc() && rr.ptr == last) return Value(r);
  return Value();
}

// The table a recordset query reads: "select * from <table> [where|order|limit ...]",
// the table bare or in [ ] / " " / ` `. Returns the table name and the position just
// after "from".
struct ParsedQuery {
  std::string table;
  std::size_t afterFrom = 0;
};

std::size_t SkipBlanks(std::string_view s, std::size_t i) {
  while (i < s.size() && IsBlank(s[i])) ++i;
  return i;
}

bool WordAt(std::string_view s, std::size_t i, std::string_view word) {
  if (i + word.size() > s.size() || !SameNoCase(s.substr(i, word.size()), word)) return false;
  std::size_t end = i + word.size();
  if (end == s.size()) return true;
  char c = s[end];
  return !(std::isalnum(static_cast<unsigned char>(c)) || c == '_');
}

ParsedQuery ParseQuery(std::string_view sql) {
  auto fail = [&]() -> ParsedQuery {
    throw Error("a recordset reads \"select * from <table> [where ...]\", not \"" + std::string(sql) + "\"");
  };
  ParsedQuery q;
  std::size_t i = SkipBlanks(sql, 0);
  if (!WordAt(sql, i, "select")) return fail();
  i = SkipBlanks(sql, i + 6);
  if (i >= sql.size() || sql[i] != '*') return fail();
  i = SkipBlanks(sql, i + 1);
  if (!WordAt(sql, i, "from")) return fail();
  i += 4;
  q.afterFrom = i;
  i = SkipBlanks(sql, i);
  if (i >= sql.size()) return fail();
  char open = sql[i];
  if (open == '[' || open == '"' || open == '`') {
    char close = open == '[' ? ']' : open;
    std::size_t j = i + 1;
    while (true) {
      if (j >= sql.size()) return fail();
      if (sql[j] == close) {
        if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
          q.table += close;
          j += 2;
          continue;
        }
        break;
      }
      q.table += sql[j++];
    }
    i = j + 1;
  } else {
    std::size_t j = i;
    while (j < sql.size() && !IsBlank(sql[j]) && sql[j] != ';' && sql[j] != ',' && sql[j] != '(') ++j;
    q.table = std::string(sql.substr(i, j - i));
    i = j;
  }
  if (q.table.empty()) return fail();
  i = SkipBlanks(sql, i);
  if (i < sql.size() && sql[i] != ';' && !WordAt(sql, i, "where") && !WordAt(sql, i, "order") &&
      !WordAt(sql, i, "limit")) {
    return fail();
  }
  return q;
}

}  // namespace

// ---------------------------------------------------------------------------- Value

long long Value::AsInt() const {
  if (const auto* i = std::get_if<long long>(&v_)) return *i;
  double d = 0;
  if (const auto* r = std::get_if<double>(&v_)) {
    d = *r;
  } else if (const auto* t = std::get_if<std::string>(&v_)) {
    d = plat::Val(*t);
  } else {
    return 0;
  }
  // Kept inside the range of a whole number before rounding.
  constexpr double kTop = 9223372036854775807.0;  // 2^63
  if (std::isnan(d)) return 0;
  if (d >= kTop) return std::numeric_limits<long long>::max();
  if (d <= -kTop) return std::numeric_limits<long long>::min();
  return static_cast<long long>(plat::RoundHalfEven(d));
}

double Value::AsReal() const {
  if (const auto* i = std::get_if<long long>(&v_)) return static_cast<double>(*i);
  if (const auto* r = std::get_if<double>(&v_)) return *r;
  if (const auto* t = std::get_if<std::string>(&v_)) return plat::Val(*t);
  return 0.0;
}

std::string Value::AsText() const {
  if (const auto* t = std::get_if<std::string>(&v_)) return *t;
  if (const auto* i = std::get_if<long long>(&v_)) return std::to_string(*i);
  if (const auto* r = std::get_if<double>(&v_)) {
    double d = *r;
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e18) {
      return std::to_string(static_cast<long long>(d));
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
  }
  return "";
}

std::string DataSourceOf(std::string_view connectionString) {
  std::size_t start = 0;
  while (start <= connectionString.size()) {
    std::size_t end = connectionString.find(';', start);
    if (end == std::string_view::npos) end = connectionString.size();
    std::string_view part = connectionString.substr(start, end - start);
    std::size_t eq = part.find('=');
    if (eq != std::string_view::npos && SameNoCase(TrimBlanks(part.substr(0, eq)), "data source")) {
      return std::string(TrimBlanks(part.substr(eq + 1)));
    }
    start = end + 1;
  }
  return std::string(TrimBlanks(connectionString));
}

// ----------------------------------------------------------------------- Connection

Connection::~Connection() { Close(); }

namespace {

sqlite3* OpenFile(const std::string& file, int flags) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string m = Message(db, "cannot open database \"" + file + "\"");
    sqlite3_close(db);
    throw Error(m);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // A file that is not a database only shows it when something is read.
  sqlite3_stmt* probe = nullptr;
  rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_step(probe);
    if (rc == SQLITE_ROW) rc = SQLITE_OK;
  }
  if (rc != SQLITE_OK) {
    std::string m = Message(db, "\"" + file + "\" is not a usable database");
    sqlite3_finalize(probe);
    sqlite3_close(db);
    throw Error(m);
  }
  sqlite3_finalize(probe);
  return db;
}

}  // namespace

void Connection::Open(std::string_view connectionString) {
  Close();
  std::string source = DataSourceOf(connectionString);
  if (source.empty()) throw Error("no database named in the connection string");
  std::error_code ec;
  fs::path file = fs::u8path(source);
  if (!fs::is_regular_file(file, ec)) {
    // The game writes its paths Windows-style ("...\Date\Mon\75.dat").
    file = plat::ResolvePath(source);
    if (!fs::is_regular_file(file, ec)) throw Error("database file not found: \"" + source + "\"");
  }
  OpenPath(file);
}

void Connection::OpenPath(const std::filesystem::path& file) {
  Close();
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) throw Error("database file not found: \"" + file.string() + "\"");
  int flags = SQLITE_OPEN_FULLMUTEX;
  flags |= ::access(file.c_str(), W_OK) == 0 ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  db_ = OpenFile(file.string(), flags);
}

void Connection::Create(const std::filesystem::path& path) {
  Close();
  db_ = OpenFile(path.string(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX);
}

void Connection::Close() {
  if (db_ != nullptr) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

void Connection::Execute(std::string_view sql, const std::vector<Value>& params) {
  Statement st(db_, sql);
  st.Bind(params);
  st.RunToEnd();
}

void Connection::ExecuteScript(std::string_view sql) {
  if (db_ == nullptr) throw Error("database not open");
  std::string text(sql);
  char* err = nullptr;
  int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::string m = "script failed: ";
    m += err != nullptr ? err : sqlite3_errstr(rc);
    sqlite3_free(err);
    throw Error(m);
  }
}

void Connection::Begin() { Execute("BEGIN"); }
void Connection::Commit() { Execute("COMMIT"); }
void Connection::Rollback() { Execute("ROLLBACK"); }

Value Connection::Scalar(std::string_view sql, const std::vector<Value>& params) {
  Statement st(db_, sql);
  st.Bind(params);
  Value v;
  if (st.Step() && st.ColumnCount() > 0) v = st.Column(0);
  return v;
}

struct PreparedStatement::Prepared {
  Prepared(sqlite3* db, std::string_view sql) : db(db), st(db, sql) {}
  sqlite3* db;
  Statement st;
};

PreparedStatement::PreparedStatement(Connection& conn, std::string_view sql)
    : prepared_(std::make_unique<Prepared>(conn.Raw(), sql)) {}

PreparedStatement::~PreparedStatement() = default;

long long PreparedStatement::Run(const std::vector<Value>& params) {
  Statement& st = prepared_->st;
  st.Reset();  // a run that failed half way starts over too
  st.Bind(params);
  st.RunToEnd();
  const long long changed = sqlite3_changes64(prepared_->db);
  st.Reset();
  return changed;
}

bool Connection::HasTable(std::string_view table) {
  Statement st(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
  st.Bind({Value(std::string(table))});
  return st.Step();
}

std::vector<std::string> Connection::ColumnsOf(std::string_view table) {
  Statement st(db_, "SELECT name FROM pragma_table_info(?1) ORDER BY cid");
  st.Bind({Value(std::string(table))});
  std::vector<std::string> names;
  while (st.Step()) names.push_back(st.Column(0).AsText());
  if (names.empty()) throw Error("no such table: " + std::string(table));
  return names;
}

// ------------------------------------------------------------------------ Recordset

namespace {

// The name by which a table's rowid is reached, not hidden by one of its columns.
std::string RowidName(const std::vector<std::string>& columns) {
  for (const char* name : {"rowid", "_rowid_", "oid"}) {
    bool taken = false;
    for (const auto& c : columns) taken = taken || SameNoCase(c, name);
    if (!taken) return name;
  }
  throw Error("the table's columns hide its row ids");
}

}  // namespace

void Recordset::Open(std::string_view sql, Connection& conn, const std::vector<Value>& params) {
  Close();
  if (!conn.IsOpen()) throw Error("database not open");
  ParsedQuery q = ParseQuery(sql);
  std::vector<std::string> tableColumns = conn.ColumnsOf(q.table);
  std::string rowid = RowidName(tableColumns);

  Statement st(conn.Raw(), "SELECT " + rowid + ", * FROM" + std::string(sql.substr(q.afterFrom)));
  st.Bind(params);
  std::vector<std::string> columns;
  for (int i = 1; i < st.ColumnCount(); ++i) columns.push_back(st.ColumnName(i));
  std::vector<long long> rowids;
  std::vector<std::vector<Value>> rows;
  while (st.Step()) {
    rowids.push_back(st.Column(0).AsInt());
    std::vector<Value> row;
    row.reserve(columns.size());
    for (int i = 1; i < st.ColumnCount(); ++i) row.push_back(st.Column(i));
    rows.push_back(std::move(row));
  }

  conn_ = &conn;
  table_ = q.table;
  columns_ = std::move(columns);
  rowids_ = std::move(rowids);
  rows_ = std::move(rows);
  pending_.assign(columns_.size(), Value());
  changed_.assign(columns_.size(), false);
  pos_ = 0;
  adding_ = false;
}

void Recordset::Close() {
  conn_ = nullptr;
  table_.clear();
  columns_.clear();
  rowids_.clear();
  rows_.clear();
  pending_.clear();
  changed_.clear();
  pos_ = 0;
  adding_ = false;
}

bool Recordset::Eof() const { return !adding_ && pos_ >= rows_.size(); }

namespace {

bool AnyChanged(const std::vector<bool>& changed) {
  for (bool c : changed) {
    if (c) return true;
  }
  return false;
}

}  // namespace

void Recordset::MoveFirst() {
  if (conn_ == nullptr) throw Error("recordset not open");
  // Leaving an edited row saves it, as leaving a row of a keyset recordset does.
  if (adding_ || AnyChanged(changed_)) Update();
  pos_ = 0;
}

void Recordset::MoveNext() {
  if (conn_ == nullptr) throw Error("recordset not open");
  if (adding_ || AnyChanged(changed_)) Update();
  if (pos_ < rows_.size()) ++pos_;
}

long Recordset::RecordCount() const { return static_cast<long>(rows_.size()); }

int Recordset::ColumnIndex(std::string_view column) const {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (SameNoCase(columns_[i], column)) return static_cast<int>(i);
  }
  throw Error("no column \"" + std::string(column) + "\" in table " + table_);
}

const Value& Recordset::Field(std::string_view column) const {
  if (conn_ == nullptr) throw Error("recordset not open");
  std::size_t i = static_cast<std::size_t>(ColumnIndex(column));
  if (adding_) return pending_[i];
  if (pos_ >= rows_.size()) throw Error("no current row in table " + table_);
  return rows_[pos_][i];
}

void Recordset::SetField(std::string_view column, Value v) {
  if (conn_ == nullptr) throw Error("recordset not open");
  std::size_t i = static_cast<std::size_t>(ColumnIndex(column));
  if (adding_) {
    pending_[i] = std::move(v);
  } else {
    if (pos_ >= rows_.size()) throw Error("no current row in table " + table_);
    rows_[pos_][i] = std::move(v);
  }
  changed_[i] = true;
}

void Recordset::AddNew() {
  if (conn_ == nullptr) throw Error("recordset not open");
  if (adding_ || AnyChanged(changed_)) Update();
  Statement st(conn_->Raw(), "SELECT dflt_value FROM pragma_table_info(?1) ORDER BY cid");
  st.Bind({Value(table_)});
  std::vector<Value> defaults;
  while (st.Step()) defaults.push_back(LiteralDefault(st.Column(0).AsText()));
  defaults.resize(columns_.size());
  pending_ = std::move(defaults);
  changed_.assign(columns_.size(), false);
  adding_ = true;
}

void Recordset::Update() {
  if (conn_ == nullptr) throw Error("recordset not open");
  if (!adding_ && pos_ >= rows_.size()) throw Error("no current row to update in table " + table_);
  sqlite3* db = conn_->Raw();
  if (db == nullptr) throw Error("database not open");
  std::string rowid = RowidName(columns_);
  std::string table = QuoteName(table_);

  std::vector<std::size_t> set;
  for (std::size_t i = 0; i < changed_.size(); ++i) {
    if (changed_[i]) set.push_back(i);
  }
  const std::vector<Value>& source = adding_ ? pending_ : rows_[pos_];

  std::string sql;
  if (adding_) {
    if (set.empty()) {
      sql = "INSERT INTO " + table + " DEFAULT VALUES";
    } else {
      std::string names;
      std::string marks;
      for (std::size_t k = 0; k < set.size(); ++k) {
        if (k > 0) {
          names += ", ";
          marks += ", ";
        }
        names += QuoteName(columns_[set[k]]);
        marks += "?" + std::to_string(k + 1);
      }
      sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
    }
  } else {
    if (set.empty()) return;
    std::string assigns;
    for (std::size_t k = 0; k < set.size(); ++k) {
      if (k > 0) assigns += ", ";
      assigns += QuoteName(columns_[set[k]]) + " = ?" + std::to_string(k + 1);
    }
    sql = "UPDATE " + table + " SET " + assigns + " WHERE " + rowid + " = ?" + std::to_string(set.size() + 1);
  }
  // The row comes back as stored, with the defaults and conversions the table applied.
  sql += " RETURNING " + rowid + ", *";

  Statement st(db, sql);
  for (std::size_t k = 0; k < set.size(); ++k) st.BindAt(static_cast<int>(k + 1), source[set[k]]);
  if (!adding_) st.BindAt(static_cast<int>(set.size() + 1), Value(rowids_[pos_]));
  if (!st.Step()) throw Error("the row no longer exists in table " + table_);
  long long newRowid = st.Column(0).AsInt();
  std::vector<Value> row;
  row.reserve(columns_.size());
  for (int i = 1; i < st.ColumnCount(); ++i) row.push_back(st.Column(i));
  st.RunToEnd();
  row.resize(columns_.size());

  if (adding_) {
    rowids_.push_back(newRowid);
    rows_.push_back(std::move(row));
    pos_ = rows_.size() - 1;
    adding_ = false;
    pending_.assign(columns_.size(), Value());
  } else {
    rowids_[pos_] = newRowid;
    rows_[pos_] = std::move(row);
  }
  changed_.assign(columns_.size(), false);
}

// ----------------------------------------------------------------------- KeptQuery

namespace {

// What a file was: which file it is, its size and its last change.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long changedNs = 0;
  bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino, st.st_size,
                      static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

void BindValue(sqlite3* db, sqlite3_stmt* st, int index, const Value& v) {
  int rc;
  if (v.IsNull()) {
    rc = sqlite3_bind_null(st, index);
  } else if (v.IsText()) {
    const std::string t = v.AsText();
    rc = sqlite3_bind_text64(st, index, t.data(), t.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  } else if (v == Value(v.AsInt())) {
    rc = sqlite3_bind_int64(st, index, v.AsInt());
  } else {
    rc = sqlite3_bind_double(st, index, v.AsReal());
  }
  if (rc != SQLITE_OK) throw Error(Message(db, "cannot bind a parameter"));
}

Value ColumnValue(sqlite3_stmt* st, int i) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
      return Value(static_cast<long long>(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT:
      return Value(sqlite3_column_double(st, i));
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const void* p = sqlite3_column_type(st, i) == SQLITE_TEXT
                          ? static_cast<const void*>(sqlite3_column_text(st, i))
                          : sqlite3_column_blob(st, i);
      const int n = sqlite3_column_bytes(st, i);
      if (p == nullptr || n <= 0) return Value(std::string());
      return Value(std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)));
    }
    default:
      return Value();
  }
}

}  // namespace

struct KeptQuery::Kept {
  std::filesystem::path file;
  FileIdentity identity;
  Connection conn;
  sqlite3_stmt* stmt = nullptr;

  Kept() = default;
  Kept(const Kept&) = delete;
  Kept& operator=(const Kept&) = delete;
  ~Kept() { sqlite3_finalize(stmt); }  // before the connection closes
};

KeptQuery::KeptQuery(std::string sql) : sql_(std::move(sql)) {}

KeptQuery::~KeptQuery() = default;

void KeptQuery::Close() {
  kept_.reset();
  columns_.clear();
  row_.clear();
  hasRow_ = false;
}

bool KeptQuery::Run(const std::filesystem::path& file, const std::vector<Value>& params) {
  hasRow_ = false;
  const std::optional<FileIdentity> now = IdentityOf(file);
  if (kept_ && (!now || kept_->file != file || !(kept_->identity == *now))) Close();
  if (!now) throw Error("database file not found: \"" + file.string() + "\"");
  if (!kept_) {
    auto kept = std::make_unique<Kept>();
    kept->file = file;
    kept->identity = *now;
    kept->conn.OpenPath(file);
    sqlite3* db = kept->conn.Raw();
    if (sqlite3_prepare_v2(db, sql_.c_str(), static_cast<int>(sql_.size()), &kept->stmt, nullptr) !=
            SQLITE_OK ||
        kept->stmt == nullptr) {
      throw Error(Message(db, "cannot prepare \"" + sql_ + "\""));
    }
    kept_ = std::move(kept);
  }

  sqlite3* db = kept_->conn.Raw();
  sqlite3_stmt* st = kept_->stmt;
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  try {
    if (sqlite3_bind_parameter_count(st) != static_cast<int>(params.size())) {
      throw Error("\"" + sql_ + "\" takes " + std::to_string(sqlite3_bind_parameter_count(st)) +
                  " parameters, given " + std::to_string(params.size()));
    }
    for (std::size_t i = 0; i < params.size(); ++i) BindValue(db, st, static_cast<int>(i + 1), params[i]);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
      // The names are read from the statement in use (SQLite prepares it again when the
      // table changed).
      const int count = sqlite3_column_count(st);
      columns_.resize(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i) {
        const char* n = sqlite3_column_name(st, i);
        columns_[static_cast<std::size_t>(i)] = n != nullptr ? n : "";
      }
      row_.clear();
      for (int i = 0; i < static_cast<int>(columns_.size()); ++i) row_.push_back(ColumnValue(st, i));
      hasRow_ = true;
    } else if (rc != SQLITE_DONE) {
      throw Error(Message(db, "\"" + sql_ + "\" failed"));
    }
  } catch (const Error&) {
    Close();
    throw;
  }
  // Ends the read, so the file is not held between runs.
  sqlite3_reset(st);
  return hasRow_;
}

const Value& KeptQuery::Field(std::string_view column) const {
  if (!hasRow_) throw Error("the query gave no row");
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (SameNoCase(columns_[i], column)) return row_[i];
  }
  throw Error("no column \"" + std::string(column) + "\" in \"" + sql_ + "\"");
}

}  // namespace plat::db
