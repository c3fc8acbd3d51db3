#pragma once
// Start-up of an imaging-control instance: a hidden 32 x 32 child window of
// the parent, then the settings every instance gets.
//
//   CreateImagingControl         creates and sets up; 0 success, 1 failure
//                                (after telling the user)
//   ApplyImagingControlSettings  the same settings on an instance that exists

class CLead;
class QWidget;

inline constexpr const char* kImagingInitFailedMessage = "初期化に失敗しました。\nプログラムを終了します。";

int CreateImagingControl(QWidget* parent, CLead* control, int childId);
int ApplyImagingControlSettings(CLead* control);
