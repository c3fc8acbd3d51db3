// Transactions of the caller's around catalogue operations: operations join
// them, the batch reaches the file at the caller's commit, and a rollback of
// the caller's undoes the whole batch.

#include "tests/catalogue/catalogue_ops_fixture.h"

#include <sqlite3.h>

using namespace cataloguetest;

namespace {

class CallerTransaction : public CatalogueOpsTest {
 protected:
  void SetUp() override {
    CatalogueOpsTest::SetUp();
    open();
  }
  std::string titles() {
    return query("SELECT IFNULL(group_concat(ItemTitle), '') FROM (SELECT ItemTitle FROM ItemMST ORDER BY ItemNo)");
  }
  // Whether the engine is inside a transaction that nobody has ended.
  bool insideTransaction() { return sqlite3_get_autocommit(db.Engine().handle()) == 0; }
};

// A caller of the engine layer that wraps registrations in one transaction
// sees every registration join it.
TEST_F(CallerTransaction, RegistrationsJoinATransactionOfTheEngineLayer) {
  {
    Transaction batch(db.Engine());
    for (const char* title : {"a", "b", "c"}) {
      ItemInfo info = item(title);
      EXPECT_EQ(db.RegisterItem(info), 0) << db.GetDbLastError().message;
    }
    EXPECT_TRUE(insideTransaction());
    batch.commit();
  }
  reopen();
  EXPECT_EQ(titles(), "a.bmp,b.bmp,c.bmp");
}

TEST_F(CallerTransaction, TheBatchIsKeptAtCommitAndUndoneByRollback) {
  ASSERT_EQ(db.BeginTransaction(), 0);
  add("kept1");
  add("kept2");
  EXPECT_TRUE(insideTransaction()) << "the registrations did not end the caller's transaction";
  ASSERT_EQ(db.CommitTransaction(), 0);
  EXPECT_FALSE(insideTransaction());

  ASSERT_EQ(db.BeginTransaction(), 0);
  add("undone");
  ASSERT_EQ(db.SetComment(1, "undone too"), 0);
  ASSERT_EQ(db.RollbackTransaction(), 0);
  reopen();
  EXPECT_EQ(titles(), "kept1.bmp,kept2.bmp");
  EXPECT_EQ(query("SELECT count(*) FROM CommentMST"), "0");
}

TEST_F(CallerTransaction, AFailingOperationLeavesTheRestOfTheBatch) {
  ASSERT_EQ(db.BeginTransaction(), 0);
  add("a");
  db.Engine().executeScript(
      "CREATE TEMP TRIGGER injected BEFORE INSERT ON ItemMST WHEN NEW.ItemTitle = 'b.bmp' "
      "BEGIN SELECT RAISE(ABORT, 'injected failure'); END;");
  ItemInfo b = item("b");
  EXPECT_EQ(db.RegisterItem(b), 120);
  ItemInfo duplicate = item("A");
  EXPECT_EQ(db.RegisterItem(duplicate), -20) << "the file name is taken inside the batch already";
  add("c");
  ASSERT_EQ(db.CommitTransaction(), 0);
  reopen();
  EXPECT_EQ(titles(), "a.bmp,c.bmp");
  EXPECT_TRUE(sound());
}

TEST_F(CallerTransaction, TransactionsNestAndCloseFolderUndoesWhatIsOpen) {
  ASSERT_EQ(db.BeginTransaction(), 0);
  add("outer");
  ASSERT_EQ(db.BeginTransaction(), 0);
  add("inner undone");
  EXPECT_EQ(db.TransactionDepth(), 2);
  ASSERT_EQ(db.RollbackTransaction(), 0);
  ASSERT_EQ(db.BeginTransaction(), 0);
  add("inner kept");
  ASSERT_EQ(db.CommitTransaction(), 0);
  ASSERT_EQ(db.CommitTransaction(), 0);
  EXPECT_EQ(db.TransactionDepth(), 0);
  EXPECT_EQ(db.CommitTransaction(), 10);

  {
    CatalogueTransaction left(db);
    ASSERT_EQ(left.result(), 0);
    add("left uncommitted");
  }
  ASSERT_EQ(db.BeginTransaction(), 0);
  add("open at close");
  ASSERT_EQ(db.CloseFolder(), 0);
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  EXPECT_EQ(titles(), "outer.bmp,inner kept.bmp");

  FolderDatabase closed;
  EXPECT_EQ(closed.BeginTransaction(), 40);
}

// The engine rolls a transaction back by itself on some failures. What the
// caller does after that must not be committed on its own, outside the
// batch it believes it is in.
TEST_F(CallerTransaction, AnOperationAfterTheEngineDroppedTheBatchIsRefused) {
  ASSERT_EQ(db.BeginTransaction(), 0);
  add("a");
  db.Engine().executeScript("ROLLBACK;");  // as the engine does on a full disk
  ItemInfo b = item("b");
  EXPECT_EQ(db.RegisterItem(b), 120);
  EXPECT_EQ(db.CommitTransaction(), 120);
  reopen();
  EXPECT_EQ(titles(), "");
}

}  // namespace
