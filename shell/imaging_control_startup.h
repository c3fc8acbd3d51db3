#pragma once
// Start-up of an imaging-control instance: a hidden 32 x 32 child window of
// the parent, then the settings every instance gets.
//
//   MakeImageCtrl                a new instance (tests set the maker)
//   CreateImagingControl         creates and sets up; 0 success, 1 failure
//                                (after telling the user)
//   ApplyImagingControlSettings  the same settings on an instance that exists

#include <functional>
#include <memory>

class CImageCtrl;
class CLead;
class QWidget;

inline constexpr const char* kImagingInitFailedMessage = "初期化に失敗しました。\nプログラムを終了します。";
// When making the instance throws.
inline constexpr const char* kImagingInitExceptionMessage = "初期化時に異常が発生しました。\nプログラムを終了します。";

std::unique_ptr<CImageCtrl> MakeImageCtrl();
// Replaces what MakeImageCtrl makes; an empty maker restores a plain CImageCtrl.
void SetImageCtrlMaker(std::function<std::unique_ptr<CImageCtrl>()> maker);

int CreateImagingControl(QWidget* parent, CLead* control, int childId);
int ApplyImagingControlSettings(CLead* control);
