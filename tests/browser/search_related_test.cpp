// The related-word dictionary dialogs over a real dictionary: the search
// words dialog, the group dialog's limits, the maintenance dialog's changes
// and their log records, and the repair.

#include "browser/search_related_dlg.h"

#include "catalogue/related_word_dictionary.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <cstdio>

namespace {

using testsupport::readFile;
using testsupport::writeFile;

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }

std::string record(char tag, const std::string& bytes) {
  return std::string{tag, static_cast<char>(bytes.size() & 0xFF), static_cast<char>(bytes.size() >> 8)} + bytes;
}

QStringList texts(const QListWidget& list) {
  QStringList out;
  for (int i = 0; i < list.count(); ++i) out << list.item(i)->text();
  return out;
}

void grab(QWidget& w, const char* name) {
  w.show();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(w.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/%1.png").arg(name)));
}

class RelatedDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateEmptyRelatedWordDictionary(dir.path(), 100));
    ASSERT_EQ(LoadRelatedWordDictionary(dir.path()), relatedword::kDone);
    ASSERT_EQ(AddRelatedGroup(sj("自動車,クルマ,カー")), relatedword::kDone);
    ASSERT_EQ(AddRelatedGroup(sj("自動車,$$車両")), relatedword::kDone);
    logPath = dir.file("jf1");
    log = std::fopen(logPath.c_str(), "wb");
    ASSERT_NE(log, nullptr);
  }
  void TearDown() override {
    if (log) std::fclose(log);
    ReleaseRelatedWordDictionary();
  }
  std::string logBytes() {
    std::fflush(log);
    return readFile(logPath);
  }

  testsupport::TempDir dir;
  std::string logPath;
  std::FILE* log = nullptr;
  platform::RecordingUserInteraction boxes;
};

TEST_F(RelatedDialogs, SearchWordsGainRelatedWordsAndTheLastWordStays) {
  EXPECT_EQ(SplitSearchWords(QStringLiteral(" a , \"b,c\" ,, d")), (QStringList{"a", "b,c", "d"}));
  RelatedWordsDlg dlg(QStringLiteral("自動車, 犬"));
  EXPECT_EQ(texts(*dlg.searchList()), (QStringList{"自動車", "犬"}));
  // The first word is looked up at once; each word of every group once.
  EXPECT_EQ(texts(*dlg.relatedList()), (QStringList{"自動車", "クルマ", "カー", "$$車両"}));
  EXPECT_FALSE(dlg.addButton()->isEnabled());
  dlg.relatedList()->item(1)->setSelected(true);
  EXPECT_TRUE(dlg.addButton()->isEnabled());
  dlg.OnAdd();
  // A word without groups says so.
  dlg.searchList()->clearSelection();
  dlg.searchList()->setCurrentRow(1);
  EXPECT_EQ(texts(*dlg.relatedList()), QStringList{"関連語はありません"});
  EXPECT_FALSE(dlg.relatedList()->isEnabled());
  // Deleting everything leaves one word.
  dlg.searchList()->selectAll();
  dlg.OnDelete();
  EXPECT_EQ(dlg.searchList()->count(), 1);
  EXPECT_FALSE(dlg.deleteButton()->isEnabled());
  dlg.searchList()->clear();
  for (const char* w : {"自動車", "クルマ"}) dlg.searchList()->addItem(QString::fromUtf8(w));
  dlg.accept();
  EXPECT_EQ(dlg.SearchWords(), "自動車, クルマ");
  EXPECT_TRUE(boxes.texts().empty());
  grab(dlg, "related_words_dialog");
}

TEST_F(RelatedDialogs, GroupDialogRefusesTheHeadwordRepeatsAndThe81stWord) {
  RelatedWordGroupDlg dlg(sj("自動車"), RelatedWordGroupDlg::kCreate, {}, true);
  EXPECT_FALSE(dlg.newButton()->isEnabled());
  EXPECT_TRUE(dlg.overwriteButton()->isHidden());
  dlg.wordEdit()->setText(QStringLiteral("自動車"));
  dlg.OnAddWord();
  dlg.wordEdit()->setText(QStringLiteral("w0"));
  dlg.OnAddWord();
  dlg.wordEdit()->setText(QStringLiteral("w0"));
  dlg.OnAddWord();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>(2, "この単語は既に登録されています"));
  for (int i = 1; i < 81; ++i) {
    dlg.wordEdit()->setText(QStringLiteral("w%1").arg(i));
    dlg.OnAddWord();
  }
  EXPECT_EQ(dlg.wordList()->count(), 80);
  EXPECT_EQ(boxes.texts().back(), "1グループの登録語数は80語までです");
  EXPECT_TRUE(dlg.newButton()->isEnabled());
  dlg.OnRegister(RelatedWordGroupDlg::kCreate);
  const std::string text = dlg.RegistrationText();
  EXPECT_EQ(text.substr(0, 6), "w0,w1,");
  EXPECT_EQ(text.substr(text.size() - 7), "," + sj("自動車"));  // the headword added last
}

TEST_F(RelatedDialogs, GroupDialogModifiesALineAndTakesWordsOfAnotherGroup) {
  RelatedWordGroupDlg dlg(sj("自動車"), RelatedWordGroupDlg::kModify, sj("自動車 / クルマ / カー"), false);
  EXPECT_EQ(texts(*dlg.wordList()), (QStringList{"クルマ", "カー"}));
  EXPECT_FALSE(dlg.newButton()->isEnabled());  // no further group allowed
  EXPECT_TRUE(dlg.overwriteButton()->isEnabled());
  dlg.selectRunner = [](RelatedWordGroupSelectDlg& select) {
    EXPECT_EQ(select.groupList()->count(), 2);
    EXPECT_FALSE(select.selectButton()->isEnabled());
    select.groupList()->setCurrentRow(1);
    grab(select, "related_group_select_dialog");
    select.accept();
    return select.result();
  };
  dlg.OnReferGroup();
  EXPECT_EQ(texts(*dlg.wordList()), (QStringList{"クルマ", "カー", "$$車両"}));
  grab(dlg, "related_group_dialog");
  dlg.wordList()->selectAll();
  dlg.OnDeleteWords();
  EXPECT_FALSE(dlg.overwriteButton()->isEnabled());
}

TEST_F(RelatedDialogs, ModifyingAGroupWritesHeadwordDeletedAndAddedRecordsInOrder) {
  RelatedWordMaintDlg dlg(log, dir.file("jf0"), false);
  EXPECT_FALSE(dlg.repairButton()->isEnabled());
  EXPECT_FALSE(dlg.lookupButton()->isEnabled());
  dlg.headwordEdit()->setText(QStringLiteral(" 自動車 "));
  dlg.OnLookup();
  EXPECT_EQ(texts(*dlg.groupList()), (QStringList{"自動車 / クルマ / カー", "自動車 / $$車両"}));
  EXPECT_EQ(dlg.countLabel()->text(), "2");
  EXPECT_TRUE(dlg.addButton()->isEnabled());
  EXPECT_FALSE(dlg.modifyButton()->isEnabled());
  dlg.groupList()->setCurrentRow(0);
  EXPECT_TRUE(dlg.modifyButton()->isEnabled());
  dlg.groupRunner = [](RelatedWordGroupDlg& group) {
    group.wordEdit()->setText(QStringLiteral("ワゴン"));
    group.OnAddWord();
    group.OnRegister(RelatedWordGroupDlg::kModify);
    return group.result();
  };
  dlg.OnModifyGroup();
  const std::string text = sj("クルマ,カー,ワゴン,自動車");
  EXPECT_EQ(logBytes(), record('K', sj("自動車")) + std::string("D\0\0", 3) + record('A', text));
  EXPECT_EQ(texts(*dlg.groupList()), (QStringList{"自動車 / $$車両", "クルマ / カー / ワゴン / 自動車"}));
  EXPECT_TRUE(boxes.texts().empty());
  // A further change of the same headword writes no second headword record.
  dlg.groupList()->setCurrentRow(0);
  dlg.OnDeleteGroup();
  EXPECT_EQ(logBytes().substr(logBytes().size() - 3), std::string("D\0\0", 3));
  EXPECT_EQ(dlg.groupList()->count(), 1);
  grab(dlg, "related_maintenance_dialog");
}

TEST_F(RelatedDialogs, The33rdGroupIsRefusedAndModifyingCanOnlyOverwrite) {
  for (int i = 0; i < 30; ++i) ASSERT_EQ(AddRelatedGroup(sj("自動車,g") + std::to_string(i)), relatedword::kDone);
  RelatedWordMaintDlg dlg(log, {}, false);
  dlg.headwordEdit()->setText(QStringLiteral("自動車"));
  dlg.OnLookup();
  ASSERT_EQ(dlg.groupList()->count(), 32);
  bool ran = false;
  dlg.groupRunner = [&](RelatedWordGroupDlg& group) {
    ran = true;
    EXPECT_FALSE(group.newButton()->isEnabled());
    return int(QDialog::Rejected);
  };
  dlg.OnAddGroup();
  EXPECT_FALSE(ran);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"グループ数は 32 までです"});
  dlg.groupList()->setCurrentRow(3);
  dlg.OnModifyGroup();
  EXPECT_TRUE(ran);
  EXPECT_TRUE(logBytes().empty());
}

TEST_F(RelatedDialogs, RepairReplaysTheCumulativeLogOnceAndAChangeEndsTheOffer) {
  ASSERT_TRUE(CreateEmptyRelatedWordDictionary(dir.path(), 100));
  ASSERT_EQ(LoadRelatedWordDictionary(dir.path()), relatedword::kDone);
  const std::string archive = dir.file("jf0");
  writeFile(archive, record('K', sj("犬")) + record('A', sj("犬,イヌ")));
  {
    RelatedWordMaintDlg dlg(log, archive, true);
    EXPECT_TRUE(dlg.repairButton()->isEnabled());
    QString seen;
    dlg.repairWatcher = [&](DictRepairDlg& progress) { seen = progress.status(); };
    dlg.confirmRunner = [](DictRepairConfirmDlg& confirm) {
      grab(confirm, "dictionary_repair_confirm_dialog");
      return int(QDialog::Accepted);
    };
    dlg.OnRepair();
    EXPECT_EQ(seen, "追加 : 犬 : 犬,イヌ");
    EXPECT_FALSE(dlg.repairButton()->isEnabled());
    EXPECT_FALSE(dlg.firstRun());
    EXPECT_TRUE(dlg.isEnabled());
    dlg.headwordEdit()->setText(QStringLiteral("犬"));
    dlg.OnLookup();
    EXPECT_EQ(texts(*dlg.groupList()), QStringList{"犬 / イヌ"});
  }
  // On a first run the first change drops the cumulative log.
  RelatedWordMaintDlg again(log, archive, true);
  ASSERT_TRUE(again.repairButton()->isEnabled());
  again.headwordEdit()->setText(QStringLiteral("犬"));
  again.OnLookup();
  again.groupList()->setCurrentRow(0);
  again.OnDeleteGroup();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(archive)));
  EXPECT_FALSE(again.repairButton()->isEnabled());
  EXPECT_FALSE(again.firstRun());
  EXPECT_TRUE(boxes.texts().empty());
  // An empty cumulative log offers no repair.
  RelatedWordMaintDlg empty(log, archive, true);
  EXPECT_FALSE(empty.repairButton()->isEnabled());
  EXPECT_FALSE(empty.firstRun());
}

TEST_F(RelatedDialogs, ADamagedCumulativeLogStopsTheRepairWithItsMessage) {
  const std::string archive = dir.file("jf0");
  writeFile(archive, record('K', sj("犬")) + std::string("Q\x01\x00z", 4));
  RelatedWordMaintDlg dlg(log, archive, true);
  dlg.confirmRunner = [](DictRepairConfirmDlg&) { return int(QDialog::Accepted); };
  dlg.OnRepair();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"辞書の修復でエラーが発生しました\n辞書修復はできませんでした"});
  EXPECT_FALSE(dlg.repairButton()->isEnabled());
}

}  // namespace
