// The template dialogs: registering in a fresh folder, stepping through the
// registered templates, deleting with the confirmation box, the error
// messages, the operation dialog's threshold and chain of dialogs, and the
// exports that open them.
#include "layout/char_block.h"
#include "layout/dialogs/char_class_dialogs.h"
#include "layout/dialogs/template_confirm_dialog.h"
#include "layout/dialogs/template_image_window.h"
#include "layout/dialogs/template_operation_dialog.h"
#include "layout/field_rings.h"
#include "layout/layout_messages.h"
#include "layout/library_state.h"
#include "layout/line_field_steps.h"
#include "layout/ring.h"
#include "layout/template_dialog_hooks.h"
#include "layout/template_session.h"
#include "layout/template_table.h"
#include "layout/vulay30.h"
#include "platform/global_memory.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "tests/layout/layout_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace layout;
using layout::dialogs::TemplateConfirmDialog;

namespace {

template <typename W>
W* control(QWidget* dialog, int id) {
  return dialog->findChild<W*>(QStringLiteral("ctl%1").arg(id));
}

void onNextModal(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    act(modal);
  });
}

class TemplateDialogs : public layouttest::LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
    folder_ = dir_.path().toStdString();
    templateContext() = TemplateContext{};
    templateContext().folder = folder_;
    templateContext().tablePath = template_table_path(folder_);
    templateSession() = TemplateSession{};
    auto& page = layoutState().images[0];
    page.bytesPerRow = 2480 / 8;
    page.height = 3508;
    page.dpi = 400;
    set_layout_error_observer([](void* self, void*, int number) { static_cast<TemplateDialogs*>(self)->errors_.push_back(number); },
                              this);
  }
  void TearDown() override {
    set_layout_error_observer(nullptr, nullptr);
    dialogs::set_char_kind_editor(nullptr);
    clear_working_template();
    LayoutLibraryTest::TearDown();
  }
  // A caller's field in the template field list.
  void callerField(int l, int t, int r, int b, int form) {
    ASSERT_EQ(add_plain_fld(&layoutState().inputFields, l, t, r, b), 1);
    layoutState().inputFields->prev->params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(form));
  }
  // Registers `n` templates of the caller's fields through the dialog.
  void registerTemplates(int n) {
    for (int i = 0; i < n; ++i) {
      TemplateConfirmDialog dialog(nullptr, kModeRegister, -1);
      ASSERT_TRUE(dialog.start());
      QMetaObject::invokeMethod(&dialog, "accept");
    }
    errors_.clear();
  }
  std::vector<std::int8_t> slotBytes() {
    TemplateTable table;
    EXPECT_EQ(open_template_table(template_table_path(folder_), &table), 1);
    return std::vector<std::int8_t>(table.slotBytes.begin(), table.slotBytes.begin() + table.count);
  }

  QTemporaryDir dir_;
  std::string folder_;
  std::vector<int> errors_;
};

TEST_F(TemplateDialogs, RegisteringInAFreshFolderStartsFromTheCallersFields) {
  callerField(100, 100, 1500, 600, 1);
  callerField(100, 800, 3000, 2400, 0xFF);
  {
    TemplateConfirmDialog dialog(nullptr, kModeRegister, -1);
    ASSERT_TRUE(dialog.start());
    EXPECT_EQ(errors_, (std::vector<int>{kMsgNoTemplateFileYet}));
    EXPECT_EQ(control<QLineEdit>(&dialog, 1041)->text(), QStringLiteral("テンプレート 1"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("テンプレート登録 : ") + dir_.path());
    EXPECT_EQ(control<QPushButton>(&dialog, 1)->text(), QStringLiteral("登録"));
    EXPECT_TRUE(control<QPushButton>(&dialog, 1002)->isHidden());
    EXPECT_EQ(control<QLabel>(&dialog, 1026)->text(), QStringLiteral("0"));
    EXPECT_EQ(control<QLabel>(&dialog, 1025)->text(), QStringLiteral("1"));
    EXPECT_EQ(control<QComboBox>(&dialog, 1042)->currentText(), QStringLiteral("文章"));

    // A click on the second field shows its settings; a change stays in the
    // working template (nothing is on disk yet).
    dialog.resize(760, 560);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.imageWindow()->selectAt(QPoint(1000 / 8, 1000 / 8));
    EXPECT_EQ(control<QLabel>(&dialog, 1025)->text(), QStringLiteral("2"));
    EXPECT_EQ(control<QComboBox>(&dialog, 1042)->currentText(), QStringLiteral("表"));
    control<QComboBox>(&dialog, 1013)->setCurrentIndex(3);
    EXPECT_EQ(working_field_at(2)->params.byte(ParamBlock::kDirection), 1);
    // Whether the field is analysed as one user region (byte 17).
    auto* oneRegion = control<QCheckBox>(&dialog, 1018);
    EXPECT_EQ(oneRegion->text(), QStringLiteral("一領域として解析"));
    EXPECT_FALSE(oneRegion->isChecked());
    oneRegion->click();
    EXPECT_EQ(working_field_at(2)->params.byte(ParamBlock::kCharBlocks), 1);
    dialog.imageWindow()->selectAt(QPoint(200 / 8, 200 / 8));
    EXPECT_FALSE(oneRegion->isChecked());
    dialog.imageWindow()->selectAt(QPoint(1000 / 8, 1000 / 8));
    EXPECT_TRUE(oneRegion->isChecked());
    EXPECT_TRUE(errors_.size() == 1);
    QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
    EXPECT_TRUE(dialog.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/template_register_dialog.png")));

    control<QLineEdit>(&dialog, 1041)->setText(QStringLiteral("請求書"));
    QTest::mouseClick(control<QPushButton>(&dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
  EXPECT_EQ(templateContext().current, 0);
  EXPECT_EQ(slotBytes(), (std::vector<std::int8_t>{1}));
  std::string name;
  EXPECT_EQ(read_template_name(folder_, 0, &name), 0);
  EXPECT_EQ(name, *platform::toCp932("請求書"));
  // Read back, the template has the setting changed before registration.
  TemplateConfirmDialog reference(nullptr, kModeReference, 0);
  ASSERT_TRUE(reference.start());
  EXPECT_EQ(working_field_at(2)->params.byte(ParamBlock::kDirection), 1);
  EXPECT_EQ(working_field_at(2)->params.byte(ParamBlock::kCharBlocks), 1);
  EXPECT_EQ(control<QLineEdit>(&reference, 1041)->text(), QStringLiteral("請求書"));
  EXPECT_FALSE(control<QComboBox>(&reference, 1042)->isEnabled());
}

TEST_F(TemplateDialogs, TheWorkingTemplateGoesWithTheLibraryState) {
  callerField(100, 100, 1500, 600, 1);
  ASSERT_EQ(load_working_template(kModeRegister), 1);
  ASSERT_FALSE(ringEmpty(templateSession().working));
  CloseAlloc();
  EXPECT_EQ(templateSession().working, nullptr);
  ASSERT_EQ(InitLayout("/dict", "/learn", 0), 1);
  EXPECT_EQ(templateSession().working, nullptr);
}

TEST_F(TemplateDialogs, WithoutATableTheOtherModesCloseAtOnce) {
  for (const int mode : {kModeReference, kModeDelete, kModeModify}) {
    TemplateConfirmDialog dialog(nullptr, mode, 0);
    EXPECT_FALSE(dialog.start()) << mode;
  }
  EXPECT_EQ(templateContext().current, 0);
  EXPECT_EQ(dialogs::run_confirm_dialog(nullptr, kModeReference, 0), 0);
}

TEST_F(TemplateDialogs, PreviousAndNextPassOverDeletedTemplates) {
  callerField(100, 100, 1500, 600, 1);
  registerTemplates(4);
  templateContext().current = 1;
  ASSERT_EQ(set_template_eligibility(static_cast<std::uint8_t>(kSlotDeleted)), 1);
  ASSERT_EQ(slotBytes(), (std::vector<std::int8_t>{1, -2, 1, 1}));

  TemplateConfirmDialog dialog(nullptr, kModeModify, 0);
  ASSERT_TRUE(dialog.start());
  QLineEdit* number = control<QLineEdit>(&dialog, 1012);
  QPushButton* previous = control<QPushButton>(&dialog, 1002);
  QPushButton* next = control<QPushButton>(&dialog, 1003);
  struct Step {
    QPushButton* button;
    const char* shown;
  };
  const Step steps[] = {{previous, "0"}, {next, "2"}, {next, "3"}, {next, "3"}, {previous, "2"}, {previous, "0"}};
  EXPECT_EQ(number->text(), QStringLiteral("0"));
  for (const Step& s : steps) {
    QTest::mouseClick(s.button, Qt::LeftButton);
    EXPECT_EQ(number->text(), QString::fromLatin1(s.shown));
  }
  EXPECT_TRUE(errors_.empty());
}

TEST_F(TemplateDialogs, DeletingAsksFirstAndMarksTheSlot) {
  callerField(100, 100, 1500, 600, 1);
  registerTemplates(3);
  struct Case {
    platform::Answer answer;
    std::vector<std::int8_t> slotValues;
  };
  const Case cases[] = {{platform::Answer::Cancel, {1, 1, 1}}, {platform::Answer::Ok, {1, 1, -2}}};
  for (const Case& c : cases) {
    platform::RecordingUserInteraction boxes;
    boxes.script({c.answer});
    templateContext().current = 2;
    TemplateConfirmDialog dialog(nullptr, kModeDelete, 0);
    ASSERT_TRUE(dialog.start());
    EXPECT_EQ(control<QLineEdit>(&dialog, 1012)->text(), QStringLiteral("2"));
    EXPECT_EQ(control<QPushButton>(&dialog, 1)->text(), QStringLiteral("削除"));
    QTest::mouseClick(control<QPushButton>(&dialog, 1), Qt::LeftButton);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "削除してよろしいですか?");
    EXPECT_EQ(boxes.shown()[0].caption, "ﾃﾝﾌﾟﾚｰﾄ削除");
    EXPECT_EQ(boxes.shown()[0].buttons, platform::Buttons::OkCancel);
    EXPECT_EQ(slotBytes(), c.slotValues);
  }
  // The deleted template is not offered again.
  std::vector<TemplateName> names;
  EXPECT_EQ(read_template_names(folder_, &names), 2);
}

TEST_F(TemplateDialogs, ExcludingFromMatchingIsWrittenAtOnceOutsideRegistration) {
  callerField(100, 100, 1500, 600, 1);
  registerTemplates(2);
  TemplateConfirmDialog dialog(nullptr, kModeModify, 1);
  ASSERT_TRUE(dialog.start());
  QTest::mouseClick(control<QCheckBox>(&dialog, 1027), Qt::LeftButton);
  EXPECT_EQ(slotBytes(), (std::vector<std::int8_t>{1, 0}));
  // A setting of a template on disk is written into its file at once.
  control<QComboBox>(&dialog, 1024)->setCurrentIndex(1);
  TemplateConfirmDialog again(nullptr, kModeReference, 1);
  ASSERT_TRUE(again.start());
  EXPECT_EQ(control<QComboBox>(&again, 1024)->currentText(), QStringLiteral("英語"));
  EXPECT_TRUE(control<QCheckBox>(&again, 1027)->isChecked());
}

TEST_F(TemplateDialogs, ErrorsReachTheHookWithTheirNumbers) {
  // Registering nothing: 2103.
  {
    TemplateConfirmDialog dialog(nullptr, kModeRegister, -1);
    ASSERT_TRUE(dialog.start());
    QMetaObject::invokeMethod(&dialog, "accept");
  }
  EXPECT_EQ(errors_, (std::vector<int>{kMsgNoTemplateFileYet, kMsgNoFieldsToRegister}));
  // Looking through from a number past the last template: 2102.
  callerField(100, 100, 1500, 600, 1);
  registerTemplates(1);
  templateContext().current = 5;
  dialogs::TemplateOperationDialog operation(nullptr);
  templateContext().current = 5;
  QTest::mouseClick(control<QPushButton>(&operation, 1036), Qt::LeftButton);
  EXPECT_EQ(errors_, (std::vector<int>{kMsgNoTemplateFromNumber}));

  // Every number has its own text for a host to show; the texts of those
  // met above are the program's own.
  std::vector<std::string> texts;
  for (int number = 2102; number <= 2116; ++number) texts.emplace_back(layout_message_text(number));
  EXPECT_TRUE(std::none_of(texts.begin(), texts.end(), [](const std::string& t) { return t.empty(); }));
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end());
  EXPECT_STREQ(layout_message_text(kMsgNoTemplateFromNumber), "指定番号以降のテンプレートはありません");
  EXPECT_STREQ(layout_message_text(kMsgNoFieldsToRegister), "登録する領域がありません");
  EXPECT_STREQ(layout_message_text(kMsgNoTemplateFileYet),
               "現在のﾃﾞｨﾚｸﾄﾘにはﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙがまだありません．\n登録するとﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙが新規に作成されます．");
}

TEST_F(TemplateDialogs, TheThresholdStaysWithinItsRange) {
  dialogs::TemplateOperationDialog dialog(nullptr);
  QScrollBar* bar = control<QScrollBar>(&dialog, 1009);
  QLineEdit* shown = control<QLineEdit>(&dialog, 1005);
  EXPECT_EQ(shown->text(), QStringLiteral("70"));
  struct Move {
    QAbstractSlider::SliderAction action;
    int expected;
  };
  const Move moves[] = {{QAbstractSlider::SliderToMinimum, 1}, {QAbstractSlider::SliderSingleStepSub, 1},
                        {QAbstractSlider::SliderPageStepAdd, 11}, {QAbstractSlider::SliderToMaximum, 99},
                        {QAbstractSlider::SliderPageStepAdd, 99}};
  for (const Move& m : moves) {
    bar->triggerAction(m.action);
    EXPECT_EQ(shown->text(), QString::number(m.expected));
    EXPECT_EQ(templateSession().threshold, m.expected);
  }
  // Dragging the thumb changes nothing until it is let go.
  bar->setSliderDown(true);
  bar->setSliderPosition(40);
  EXPECT_EQ(templateSession().threshold, 99);
  bar->setSliderDown(false);
  EXPECT_EQ(templateSession().threshold, 40);
}

// "変更..." opens the text-field dialog for a text field and the grid of
// its table for any cell of a table; what is chosen reaches the working template
// and, at registration, the template's files.
TEST_F(TemplateDialogs, ChangingKindsOpensTheDialogOfTheField) {
  dialogs::install_template_dialogs();
  callerField(100, 100, 1500, 600, 1);
  for (int r = 1; r <= 2; ++r) {
    for (int c = 1; c <= 2; ++c) {
      callerField(100 + (c - 1) * 1200, 800 + (r - 1) * 800, 1200 + (c - 1) * 1200, 1500 + (r - 1) * 800, 0xFF);
      userfld* cell = layoutState().inputFields->prev;
      cell->number = static_cast<std::int16_t>(r);
      cell->subNumber = static_cast<std::int16_t>(c);
      cell->params.setWord(ParamBlock::kCharKindMask, 1);
    }
  }
  TemplateConfirmDialog dialog(nullptr, kModeRegister, -1);
  ASSERT_TRUE(dialog.start());
  dialog.resize(760, 560);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  auto* change = control<QPushButton>(&dialog, 1044);
  ASSERT_NE(change, nullptr);

  // The text field (selected first): all classes less hiragana.
  EXPECT_TRUE(change->isEnabled());
  QString opened;
  onNextModal([&](QWidget* kinds) {
    opened = kinds->objectName();
    kinds->findChild<QCheckBox*>(QStringLiteral("ctl4097"))->click();
    control<QPushButton>(kinds, 1)->click();
  });
  change->click();
  EXPECT_EQ(opened, QStringLiteral("dlg107"));
  EXPECT_EQ(working_field_at(1)->params.word(ParamBlock::kCharKindMask), 255 - 1);
  EXPECT_NE(control<QLineEdit>(&dialog, 1043)->text(), QString());

  // A cell inside the table (row 2, column 1) opens the whole table's grid;
  // katakana is added to that cell.
  dialog.imageWindow()->selectAt(QPoint(500 / 8, 1900 / 8));
  ASSERT_EQ(control<QLabel>(&dialog, 1025)->text(), QStringLiteral("4"));
  EXPECT_TRUE(change->isEnabled());
  opened.clear();
  onNextModal([&](QWidget* kinds) {
    opened = kinds->objectName();
    auto* grid = kinds->findChild<KindGridView*>(QStringLiteral("ctl1061"));
    ASSERT_NE(grid, nullptr);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(grid->labelWidth() + 5, grid->labelHeight() + 25));
    kinds->findChild<QCheckBox*>(QStringLiteral("ctl4098"))->click();
    control<QPushButton>(kinds, 1)->click();
  });
  change->click();
  EXPECT_EQ(opened, QStringLiteral("dlg106"));
  std::vector<int> masks;
  for (int i = 2; i <= 5; ++i) masks.push_back(working_field_at(i)->params.word(ParamBlock::kCharKindMask));
  EXPECT_EQ(masks, (std::vector<int>{1, 1, 3, 1}));

  QTest::mouseClick(control<QPushButton>(&dialog, 1), Qt::LeftButton);
  platform::GlobalHandle block = 0;
  short rows = 0;
  short columns = 0;
  ASSERT_EQ(read_char_block(folder_, 0, 0, &block, &rows, &columns), 1);
  const std::uint8_t* cells = platform::globalLock(block);
  ASSERT_NE(cells, nullptr);
  EXPECT_EQ((std::vector<std::uint8_t>(cells, cells + static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns))), (std::vector<std::uint8_t>{1, 1, 3, 1}));
  platform::globalFree(block);
}

// RegstTemplate through its dialogs: the operation dialog, its register
// button, the confirmation dialog's OK, then OK.
TEST_F(TemplateDialogs, RegstTemplateRegistersTheCallersFieldsThroughItsDialogs) {
  dialogs::install_template_dialogs();
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(2480 / 8) * 3508);
  userfld* list = nullptr;
  ASSERT_NE(create_userfld(&list), nullptr);
  list->next->right = 1000;
  list->next->bottom = 500;
  bool sawRegister = false;
  onNextModal([&](QWidget* operation) {
    EXPECT_EQ(operation->objectName(), QStringLiteral("rgstTemp"));
    EXPECT_TRUE(control<QPushButton>(operation, 1007)->isEnabled());
    EXPECT_FALSE(control<QComboBox>(operation, 1066)->isEnabled());  // no templates yet
    onNextModal([&](QWidget* confirm) {
      sawRegister = confirm->objectName() == QStringLiteral("confTemp");
      QTest::mouseClick(control<QPushButton>(confirm, 1), Qt::LeftButton);
    });
    QTest::mouseClick(control<QPushButton>(operation, 1007), Qt::LeftButton);
    EXPECT_EQ(control<QComboBox>(operation, 1066)->count(), 1);
    QTest::mouseClick(control<QPushButton>(operation, 1), Qt::LeftButton);
  });
  std::string folder = folder_ + "/";
  int window = 0;
  EXPECT_EQ(RegstTemplate(&window, 0, bits.data(), &list, 2480, 3508, 400, 8, 0, 0, folder.data()), 1);
  EXPECT_TRUE(sawRegister);
  EXPECT_EQ(templateContext().folder, folder_);
  EXPECT_EQ(slotBytes().size(), 1u);
  EXPECT_TRUE(ringEmpty(layoutState().inputFields));
  free_userfld_ring(&list);
}

// A confirmation that cannot be shown is taken as OK: the caller goes on
// with the current template; only a cancel gives 0xFFFF.
TEST_F(TemplateDialogs, ConfTemplateWithoutItsWindowActsAsOk) {
  const TemplateDialogHooks saved = templateDialogHooks();
  templateDialogHooks() = {};
  templateContext().current = 3;
  std::string folder = folder_;
  int window = 0;
  EXPECT_EQ(ConfTemplate(&window, 0, nullptr, 0, 0, 0, 400, 8, 0, 0, folder.data(), 3), 3);
  templateDialogHooks().confirm = [](void*, int, int) { return -1; };
  EXPECT_EQ(ConfTemplate(&window, 0, nullptr, 0, 0, 0, 400, 8, 0, 0, folder.data(), 3), 3);
  std::vector<std::uint8_t> bits(16);
  userfld* list = nullptr;
  EXPECT_EQ(RegstTemplate(&window, 0, bits.data(), &list, 16, 8, 400, 8, 0, 0, folder.data()), -1);
  templateDialogHooks() = saved;

  // With the dialogs, a confirmed template gives its number.
  dialogs::install_template_dialogs();
  callerField(100, 100, 1500, 600, 1);
  registerTemplates(2);
  onNextModal([](QWidget* confirm) { QTest::mouseClick(control<QPushButton>(confirm, 1), Qt::LeftButton); });
  EXPECT_EQ(ConfTemplate(&window, 0, nullptr, 0, 0, 0, 400, 8, 0, 0, folder.data(), 1), 1);
  onNextModal([](QWidget* confirm) { QTest::mouseClick(control<QPushButton>(confirm, 2), Qt::LeftButton); });
  EXPECT_EQ(ConfTemplate(&window, 0, nullptr, 0, 0, 0, 400, 8, 0, 0, folder.data(), 0), 0xFFFF);
}

}  // namespace
