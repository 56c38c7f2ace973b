// The object a property sheet's pages show. The sheet holds it, and each page
// record's lParam points to it; each page keeps a copy of its own, as the row
// that lent the path may go while the sheet is up.
#pragma once

#include <windows.h>

#include <string>

#include "namespace/object_opener.h"

inline constexpr int kSheetPathSize = 1024;

struct SheetObject {
    char path[kSheetPathSize] = "";  // as the program shows it
    std::wstring exact;              // its exact path, where path is only its visible form
    bool hasExact = false;

    void Assign(const ObjectName& name) {
        lstrcpynA(path, name.path != nullptr ? name.path : "", kSheetPathSize);
        hasExact = name.exact != nullptr;
        exact = hasExact ? *name.exact : std::wstring();
    }
    ObjectName Name() const { return {path, hasExact ? &exact : nullptr}; }
};

// The object of the page whose record the dialog's WM_INITDIALOG carries; an
// empty one where the record carries none.
inline const SheetObject& SheetObjectOf(LPARAM pageRecord) {
    static const SheetObject none;
    const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(pageRecord);
    const auto* object = record != nullptr ? reinterpret_cast<const SheetObject*>(record->lParam) : nullptr;
    return object != nullptr ? *object : none;
}
