// The Save Snapshot (Ctrl+S) and Compare with Snapshot (Ctrl+D) boxes. Each
// runs its work off the window's thread (snapshot/snapshot_task.h), shows how
// far it has got, and stops on Stop or Esc; Esc again closes the box.
#pragma once

#include <windows.h>

#include <string>

#include "namespace/path_resolver.h"

// Saves the shown directory's subtree, or the whole namespace, to a file the
// user chooses. The box is owned by (and so disables) owner.
void RunSaveSnapshotDialog(HWND owner);

// Compares a snapshot with the live namespace or another snapshot. True,
// with chosen set, when the user chose a difference to go to.
bool RunCompareSnapshotDialog(HWND owner, ResolvedPath& chosen);

// How the boxes ask for a file: the common Save and Open dialogs, or what a
// test puts in their place (null puts them back). True with file when chosen.
using SnapshotFileChooser = bool (*)(HWND owner, bool forSaving, std::string& file);
void SetSnapshotFileChooser(SnapshotFileChooser chooser);
bool ChooseSnapshotFile(HWND owner, bool forSaving, std::string& file);
