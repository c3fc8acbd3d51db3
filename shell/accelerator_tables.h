#pragma once
// The frame's keyboard accelerator tables, one row per key: the browser's
// (board, list and tree), the in-place title editor's and the viewer's.
// The frame binds the rows of the table in force to their commands' actions
// and unbinds all others, so every key is declared here once and works
// exactly where its table holds.

#include "shell/fd3_doc.h"

#include <QKeyCombination>

#include <span>

struct AcceleratorRow {
  CFD3Doc::AcceleratorTable table;
  QKeyCombination key;
  int command;
};

std::span<const AcceleratorRow> AcceleratorRows();
