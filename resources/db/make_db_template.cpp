// Build-time tool: runs a schema script into a fresh SQLite file.
//   make_db_template <schema.sql> <output.mdb>
// The output is written beside its final name and renamed at the end, so an
// interrupted build never leaves a half-made template behind.

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s schema.sql output.mdb\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream sql;
  sql << in.rdbuf();

  const std::string output = argv[2];
  const std::string partial = output + ".part";
  std::remove(partial.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(partial.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    std::fprintf(stderr, "cannot create %s: %s\n", partial.c_str(), sqlite3_errmsg(db));
    sqlite3_close(db);
    return 1;
  }
  char* error = nullptr;
  const std::string script = "BEGIN;\n" + sql.str() + "\nCOMMIT;";
  if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error ? error : "error");
    sqlite3_free(error);
    sqlite3_close(db);
    std::remove(partial.c_str());
    return 1;
  }
  if (sqlite3_close(db) != SQLITE_OK || std::rename(partial.c_str(), output.c_str()) != 0) {
    std::fprintf(stderr, "cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}
