#include "tests/catalogue/catalogue_ops_fixture.h"

#include <sstream>
#include <vector>

namespace cataloguetest {

std::string CatalogueOpsTest::dump() {
  std::vector<std::string> tables;
  {
    Statement names(db.Engine(),
                    "SELECT name FROM main.sqlite_master WHERE type = 'table' ORDER BY name");
    while (names.step()) tables.push_back(names.textAt(0));
  }
  std::string out;
  for (const std::string& table : tables) {
    out += "[" + table + "]\n";
    Statement columns(db.Engine(), "SELECT group_concat('quote(\"' || name || '\")', \"||','||\") "
                                   "FROM pragma_table_info(?)");
    columns.bind(1, table);
    columns.step();
    const std::string list = columns.textAt(0);
    Statement rows(db.Engine(), "SELECT " + list + " FROM main.\"" + table + "\" ORDER BY rowid");
    while (rows.step()) out += rows.textAt(0) + "\n";
  }
  return out;
}

::testing::AssertionResult CatalogueOpsTest::sound() {
  auto result = catalogueInvariantsHold(db);
  if (!result) return result;
  std::ostringstream faults;
  for (const char* table : {"CommentMST", "KeywordMST", "CreatorMST", "ThumbMST", "AnnBoxMST"}) {
    const std::string orphans = query(std::string("SELECT ItemNo FROM ") + table +
                                      " WHERE ItemNo NOT IN (SELECT ItemNo FROM ItemMST)");
    if (!orphans.empty()) faults << table << " rows of missing items " << orphans << "; ";
  }
  const std::string twins = query(
      "SELECT upper(ItemTitle) FROM ItemMST GROUP BY upper(ItemTitle) HAVING count(*) > 1");
  if (!twins.empty()) faults << "file names held twice: " << twins << "; ";
  if (faults.str().empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << faults.str();
}

}  // namespace cataloguetest
