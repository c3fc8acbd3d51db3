// A failure in the middle of a changing operation leaves the catalogue file
// byte for byte as it was, and the operation succeeds once the cause is gone.
// The failure is a temporary trigger of the test's own connection that
// aborts one statement late in the operation.

#include "tests/catalogue/catalogue_ops_fixture.h"

#include <functional>

using namespace cataloguetest;

namespace {

struct Injection {
  const char* name;
  const char* trigger;  // "BEFORE ... ON table [WHEN ...]"
  std::function<int(FolderDatabase&)> operation;
};

class InjectedFailure : public CatalogueOpsTest, public ::testing::WithParamInterface<Injection> {
 protected:
  void SetUp() override {
    CatalogueOpsTest::SetUp();
    seedAndOpen([](CatalogueRows& rows) {
      rows.addStackWithPages(1, 1, 3);  // items 1..3, current page 3
      rows.db().execute("UPDATE StackMST SET CurPageNo = 3 WHERE StackNo = 1");
      rows.addStackWithPages(2, 4, 2);  // items 4, 5
      rows.addItem({.itemNo = 6, .title = "six"});
      rows.addItem({.itemNo = 7, .title = "seven"});
      for (int no : {1, 4, 6}) {
        rows.db().execute("INSERT INTO CommentMST(ItemNo,Comment) VALUES(?,'c')", no);
        rows.db().execute("INSERT INTO ThumbMST(ItemNo,ThumbSizeX,ThumbSizeY,ThumbData) "
                          "VALUES(?,10,10,x'00ff00')",
                          no);
        rows.db().execute("INSERT INTO AnnBoxMST(ItemNo,AnnType) VALUES(?,1)", no);
      }
      rows.db().execute("INSERT INTO SortTRN(ItemNo,Title) VALUES(99,'left over')");
    });
  }
};

TEST_P(InjectedFailure, RollsEverythingBack) {
  ASSERT_EQ(db.CloseFolder(), 0);
  const std::string fileBefore = testsupport::readFile(FolderDatabase::CataloguePath(folder));
  ASSERT_FALSE(fileBefore.empty());
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  const std::string before = dump();

  db.Engine().executeScript(std::string("CREATE TEMP TRIGGER injected ") + GetParam().trigger +
                            " BEGIN SELECT RAISE(ABORT, 'injected failure'); END;");
  EXPECT_EQ(GetParam().operation(db), 120);
  EXPECT_EQ(db.GetDbLastError().message.rfind("DAOエラー", 0), 0u) << db.GetDbLastError().message;
  EXPECT_EQ(db.GetDbLastError().description, "injected failure");
  EXPECT_EQ(dump(), before);

  db.Engine().executeScript("DROP TRIGGER temp.injected;");
  ASSERT_EQ(db.CloseFolder(), 0);
  EXPECT_TRUE(testsupport::readFile(FolderDatabase::CataloguePath(folder)) == fileBefore)
      << "the catalogue file changed";

  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  EXPECT_EQ(GetParam().operation(db), 0) << db.GetDbLastError().message;
  EXPECT_NE(dump(), before);
  EXPECT_TRUE(sound());
}

// Inside a transaction of the caller's, a failing operation undoes only its
// own changes: what the caller did before it stays, and the batch commits.
TEST_P(InjectedFailure, InsideACallersTransactionOnlyItselfIsUndone) {
  const std::string before = dump();
  ASSERT_EQ(db.BeginTransaction(), 0);
  ASSERT_EQ(db.SetCreator(7, "set by the caller"), 0) << db.GetDbLastError().message;
  const std::string withCallersChange = dump();

  db.Engine().executeScript(std::string("CREATE TEMP TRIGGER injected ") + GetParam().trigger +
                            " BEGIN SELECT RAISE(ABORT, 'injected failure'); END;");
  EXPECT_EQ(GetParam().operation(db), 120);
  EXPECT_EQ(dump(), withCallersChange);
  EXPECT_EQ(db.TransactionDepth(), 1);
  db.Engine().executeScript("DROP TRIGGER temp.injected;");
  EXPECT_EQ(GetParam().operation(db), 0) << db.GetDbLastError().message;
  ASSERT_EQ(db.CommitTransaction(), 0) << db.GetDbLastError().message;

  reopen();
  EXPECT_EQ(query("SELECT Creator FROM CreatorMST WHERE ItemNo = 7"), "set by the caller");
  EXPECT_NE(dump(), withCallersChange) << "the repeated operation was kept";
  EXPECT_NE(dump(), before);
  EXPECT_TRUE(sound());
}

ItemInfo record(int itemNo, const char* title) {
  ItemInfo info;
  info.ItemNo = itemNo;
  info.Title = title;
  info.Ext = "bmp";
  info.LastAccessedDate = 20300101;
  return info;
}

INSTANTIATE_TEST_SUITE_P(
    Operations, InjectedFailure,
    ::testing::Values(
        Injection{"RegisterItem", "BEFORE INSERT ON ItemMST",
                  [](FolderDatabase& db) {
                    ItemInfo info = record(0, "new");
                    return db.RegisterItem(info);
                  }},
        Injection{"UnregisterItemDissolvingItsStack", "BEFORE DELETE ON ItemMST",
                  [](FolderDatabase& db) {
                    DissolvedStack dissolved;
                    return db.UnregisterItem(4, dissolved);
                  }},
        Injection{"UnregisterItemClosingTheGap", "BEFORE DELETE ON ItemMST",
                  [](FolderDatabase& db) {
                    DissolvedStack dissolved;
                    return db.UnregisterItem(2, dissolved);
                  }},
        Injection{"UnregisterStack", "BEFORE DELETE ON StackMST",
                  [](FolderDatabase& db) { return db.UnregisterStack(1); }},
        Injection{"UnstackAll", "BEFORE DELETE ON StackMST",
                  [](FolderDatabase& db) { return db.UnstackAll(1); }},
        Injection{"Unstack1", "BEFORE UPDATE ON StackMST",
                  [](FolderDatabase& db) {
                    DissolvedStack dissolved;
                    return db.Unstack1(1, dissolved);
                  }},
        Injection{"MergeN", "BEFORE INSERT ON StackMST",
                  [](FolderDatabase& db) {
                    StackInfo info;
                    info.Title = "merged";
                    const MergeElement elements[] = {{0, 6}, {MergeElement::kStack, 1}, {0, 7}};
                    return db.MergeN(info, elements);
                  }},
        Injection{"ReorderAll", "BEFORE UPDATE ON ItemMST WHEN OLD.PageNo < 0",
                  [](FolderDatabase& db) {
                    const std::int32_t order[] = {3, 1, 2};
                    return db.ReorderAll(1, order);
                  }},
        Injection{"SetComment", "BEFORE INSERT ON CommentMST",
                  [](FolderDatabase& db) { return db.SetComment(6, "replaced"); }},
        Injection{"SetItemInfos", "BEFORE UPDATE ON ItemMST WHEN OLD.ItemNo = 1",
                  [](FolderDatabase& db) {
                    const ItemInfo infos[] = {record(6, "a"), record(7, "b"), record(1, "c")};
                    return db.SetItemInfos(infos, 0x201);
                  }},
        Injection{"SetStackInfos", "BEFORE UPDATE ON StackMST WHEN OLD.StackNo = 2",
                  [](FolderDatabase& db) {
                    StackInfo infos[2];
                    infos[0].StackNo = 1;
                    infos[1].StackNo = 2;
                    infos[0].Title = infos[1].Title = "renamed";
                    return db.SetStackInfos(infos, 0x400);
                  }},
        Injection{"SortFirst", "BEFORE INSERT ON SortTRN WHEN NEW.ItemNo IS NOT NULL",
                  [](FolderDatabase& db) { return db.SortFirst(0x100); }},
        Injection{"SetThumbInfo", "BEFORE INSERT ON ThumbMST",
                  [](FolderDatabase& db) {
                    ThumbInfo thumb;
                    thumb.ItemNo = 7;
                    thumb.ThumbData = {1, 2, 3};
                    return db.SetThumbInfo(thumb);
                  }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
