// The window's operations that a search run uses, by the control they act
// on. The window layer defines them; each may be called from any thread, is
// carried out on the window thread and is complete when it returns.
//
//   SetPageLabelCaption("2");
//   SetPrevPageButtonEnabled(false);
//   if (ClearPageCheckChecked()) DeleteAllResultRows();
//   AppendResultRow(record.name, record.size, record.sharer, record.link);
//
// Without a window they do nothing (and the check box reads unchecked).
#pragma once

#include "text/text.h"

void SetPageLabelCaption(TextView caption);
void SetPrevPageButtonEnabled(bool enabled);
bool ClearPageCheckChecked();
void DeleteAllResultRows();
// Appends a row whose item text is `name`, then writes `size`, `sharer` and
// `link` into its columns 1 to 3, all in one step of the window thread: a
// clearing by another run can come before or after the row, never between
// the row and its cells. Returns the new row's index, -1 without a window.
int AppendResultRow(TextView name, TextView size, TextView sharer, TextView link);
