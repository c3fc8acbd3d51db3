// Stacking: the pages of a folder's stacks, on the connection that
// FolderDatabase owns.
//
//   UnstackAll  dissolves a stack: every page becomes a single item
//   Unstack1    takes the current page out as a single item
//   MergeN      one new stack of items and stacks, pages in element order
//   ReorderAll  renumbers a stack's pages by a permutation
//
// Each keeps the stack invariants (pages 1..n without gaps, at least two
// pages, CurPageNo in 1..n) and runs in one transaction.

#include "catalogue/catalogue_text.h"
#include "catalogue/folder_stacks.h"

#include <set>
#include <string>
#include <utility>

namespace {

std::string missingStack(int stackNo, const char* operation) {
  return "指定されたStackNo(" + std::to_string(stackNo) + ")が存在しません。: " + operation;
}

}  // namespace

// A missing stack is a bad argument (10) here, as everywhere else: no caller
// tells it apart from other failures.

int FolderStacks::UnstackAll(int stackNo) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: UnstackAll",
                                                    "リードオンリーです。: UnstackAll",
                                                    "GetFirst..(),GetNext..()のループ中です。: UnstackAll"))
    return refused;
  return connection_.guard("DAOエラーです。: UnstackAll", "MemoryException: UnstackAll", [&] {
    Transaction transaction(connection_.db());
    if (!connection_.stackExists(stackNo))
      return connection_.fail(dbresult::kBadArgument, missingStack(stackNo, "UnstackAll"));
    connection_.db().execute("UPDATE ItemMST SET StackNo = NULL,PageNo = NULL WHERE StackNo = ?", stackNo);
    connection_.db().execute("DELETE FROM StackMST WHERE StackNo = ?", stackNo);
    transaction.commit();
    return dbresult::kOk;
  });
}

int FolderStacks::Unstack1(int stackNo, DissolvedStack& dissolved) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: Unstack1",
                                                    "リードオンリーです。: Unstack1",
                                                    "GetFirst..(),GetNext..()のループ中です。: Unstack1"))
    return refused;
  return connection_.guard("DAOエラーです。: Unstack1", "MemoryException : Unstack1", [&] {
    Transaction transaction(connection_.db());
    int current = 0;
    {
      Statement stack(connection_.db(), "SELECT CurPageNo FROM StackMST WHERE StackNo = ?");
      stack.bind(1, stackNo);
      if (!stack.step()) return connection_.fail(dbresult::kBadArgument, missingStack(stackNo, "Unstack1"));
      current = stack.intAt(0);
    }
    const int pageCount = connection_.countPages(stackNo);
    DissolvedStack result;
    if (pageCount > 2) {
      const int taken = connection_.db().execute(
          "UPDATE ItemMST SET StackNo = NULL,PageNo = NULL WHERE StackNo = ? AND PageNo = ?",
          stackNo, current);
      if (taken != 1) return connection_.fail(dbresult::kInconsistent, "データベース壊れました。: Unstack1");
      if (current < pageCount)
        connection_.db().execute("UPDATE ItemMST SET PageNo = PageNo -1 WHERE StackNo = ? AND PageNo > ?",
                                      stackNo, current);
      else
        connection_.db().execute("UPDATE StackMST SET CurPageNo = CurPageNo -1 WHERE StackNo = ?", stackNo);
    } else {
      result.Dissolved = 1;
      result.StackNo = stackNo;
      connection_.db().execute("UPDATE ItemMST SET StackNo = NULL,PageNo = NULL WHERE StackNo = ?", stackNo);
      connection_.db().execute("DELETE FROM StackMST WHERE StackNo = ?", stackNo);
    }
    transaction.commit();
    dissolved = result;
    return dbresult::kOk;
  });
}

int FolderStacks::MergeN(StackInfo& info, std::span<const MergeElement> elements) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: MergeN",
                                                    "リードオンリーです。: MergeN",
                                                    "GetFirst..(),GetNext..()のループ中です。: MergeN"))
    return refused;
  if (elements.size() < 2)
    return connection_.fail(dbresult::kBadArgument,
                            "指定された要素数(" + std::to_string(elements.size()) + ")が足りません。: MergeN");
  if (!catalogue::isValidTitle(info.Title))
    return connection_.fail(dbresult::kBadArgument,
                            catalogue::invalidTitleMessage("StackTitle", info.Title, "MergeN"));
  return connection_.guard("DAOエラーです。: MergeN", "MemoryException : MergeN", [&] {
    Transaction transaction(connection_.db());
    // Every element is checked before the first row changes.
    std::set<std::pair<bool, int>> seen;
    for (const MergeElement& element : elements) {
      const bool isStack = element.Kind == MergeElement::kStack;
      if (!seen.insert({isStack, element.No}).second)
        return connection_.fail(dbresult::kBadArgument, "指定された要素(" + std::to_string(element.No) +
                                                                ")が重複しています。: MergeN");
      if (isStack) {
        if (!connection_.stackExists(element.No))
          return connection_.fail(dbresult::kBadArgument, missingStack(element.No, "MergeN"));
        continue;
      }
      Statement item(connection_.db(), "SELECT StackNo FROM ItemMST WHERE ItemNo = ?");
      item.bind(1, element.No);
      if (!item.step())
        return connection_.fail(dbresult::kBadArgument, "指定されたItemNo(" + std::to_string(element.No) +
                                                                ")が存在しません。: MergeN");
      if (!item.isNull(0))
        return connection_.fail(dbresult::kBadArgument, "指定されたItemNo(" + std::to_string(element.No) +
                                                                ")はStackに積まれています。: MergeN");
    }

    int newNo = 1;
    {
      Statement max(connection_.db(), "SELECT Max(StackNo) FROM StackMST");
      if (max.step() && !max.isNull(0)) newNo = max.intAt(0) + 1;
    }
    int pages = 0;
    for (const MergeElement& element : elements) {
      if (element.Kind != MergeElement::kStack) {
        ++pages;
        connection_.db().execute("UPDATE ItemMST SET StackNo = ?, PageNo = ? WHERE ItemNo = ?", newNo,
                                      pages, element.No);
        continue;
      }
      int lastPage = 0;
      {
        Statement max(connection_.db(), "SELECT Max(PageNo) FROM ItemMST WHERE StackNo = ?");
        max.bind(1, element.No);
        if (max.step()) lastPage = max.intAt(0);
      }
      connection_.db().execute("UPDATE ItemMST SET StackNo = ?, PageNo = PageNo + ? WHERE StackNo = ?",
                                    newNo, pages, element.No);
      connection_.db().execute("DELETE FROM StackMST WHERE StackNo = ?", element.No);
      pages += lastPage;
    }
    // The new row comes last, once the merged stacks' rows are gone, so its
    // title may be the title of one of them.
    connection_.db().execute(
        "INSERT INTO StackMST(StackNo,StackTitle,OfficialDate,LastModifiedDate,LastAccessedDate,"
        "CurPageNo,StackPosX,StackPosY) VALUES(?,?,?,?,?,1,?,?)",
        newNo, info.Title, info.OfficialDate, info.LastModifiedDate, info.LastAccessedDate,
        info.StackPosX, info.StackPosY);
    transaction.commit();
    info.StackNo = newNo;
    info.CurPageNo = 1;
    info.PageCount = pages;
    return dbresult::kOk;
  });
}

int FolderStacks::ReorderAll(int stackNo, std::span<const std::int32_t> order) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: ReorderAll",
                                                    "リードオンリーです。: ReorderAll",
                                                    "GetFirst..(),GetNext..()のループ中です。: ReorderAll"))
    return refused;
  return connection_.guard("DAOエラーです。: ReorderAll", "MemoryException: ReorderAll", [&] {
    const int given = static_cast<int>(order.size());
    const int pageCount = connection_.countPages(stackNo);
    if (pageCount != given)
      return connection_.fail(dbresult::kBadArgument, "指定されたPageCount(" + std::to_string(given) +
                                                              ")が間違っています。: ReorderAll");
    if (pageCount == 0) return connection_.fail(dbresult::kBadArgument, missingStack(stackNo, "ReorderAll"));
    const std::set<std::int32_t> present(order.begin(), order.end());
    for (int page = 1; page <= pageCount; ++page)
      if (!present.count(page))
        return connection_.fail(dbresult::kBadArgument, "指定された配列にPage(" + std::to_string(page) +
                                                                ")が見つかりません。: ReorderAll");
    // Through negative numbers, so that no two pages ever share one.
    Transaction transaction(connection_.db());
    for (int i = 0; i < pageCount; ++i)
      connection_.db().execute("UPDATE ItemMST SET PageNo = ? WHERE StackNo = ? AND PageNo = ?", -order[i],
                                    stackNo, i + 1);
    connection_.db().execute("UPDATE ItemMST SET PageNo = -PageNo WHERE StackNo = ?", stackNo);
    transaction.commit();
    return dbresult::kOk;
  });
}
