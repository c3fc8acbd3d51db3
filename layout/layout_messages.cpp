#include "layout/layout_messages.h"

namespace layout {
namespace {

struct Message {
  int number;
  const char* text;
};

constexpr Message kMessages[] = {
    {2102, "指定番号以降のテンプレートはありません"},
    {2103, "登録する領域がありません"},
    {2104, "ファイル名が作成できません"},
    {2105, "ファイルを開けません"},
    {2106, "ファイルが読めません"},
    {2107, "ファイルに書けません"},
    {2108, "メモリーが足りません"},
    {2109, "テンプレートをオープンできません"},
    {2110, "テンプレートが読めません"},
    {2111, "テンプレートの照合に失敗しました"},
    {2112, "無効なテンプレート番号です"},
    {2113, "テンプレートに書けません"},
    {2114, "現在のﾃﾞｨﾚｸﾄﾘにはﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙがまだありません．\n登録するとﾃﾝﾌﾟﾚｰﾄﾌｧｲﾙが新規に作成されます．"},
    {2115, "テンプレートの認識範囲が現在の画像より大きいため、使用できません"},
    {2116, "このﾃﾞｨﾚｸﾄﾘには有効なﾃﾝﾌﾟﾚｰﾄがありません。"},
};

LayoutErrorObserver observer = nullptr;
void* observerContext = nullptr;

}  // namespace

const char* layout_message_text(int number) {
  for (const Message& m : kMessages)
    if (m.number == number) return m.text;
  return "";
}

LayoutErrorObserver set_layout_error_observer(LayoutErrorObserver next, void* context, void** previousContext) {
  const LayoutErrorObserver previous = observer;
  if (previousContext != nullptr) *previousContext = observerContext;
  observer = next;
  observerContext = context;
  return previous;
}

void notify_layout_error(void* window, int number) {
  if (observer != nullptr) observer(observerContext, window, number);
}

}  // namespace layout
