#pragma once
// The frame's tool-bar icons: our own, drawn in one style at run time, so
// the bars look the same on every desktop (theme sets lack most of these
// commands, and a mixed set looks worse than one of ours).

#include <QIcon>

// Icon of a tool-bar command (command_ids.h); a null icon for others.
QIcon FrameIcon(int commandId, int size = 32);
