#include "linewatch/win32/unit_dialog.h"

#include <string>

#include "linewatch/win32/resource_ids.h"

namespace linewatch {
namespace win32 {
namespace {

constexpr int kUnits = 8;

// The unit is the last character of the chosen entry ("UPS1".."UPS8").
int UnitOfEntry(HWND list) {
  const LRESULT index = SendMessageA(list, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return 1;
  char text[16] = {};
  if (SendMessageA(list, CB_GETLBTEXTLEN, index, 0) >= static_cast<LRESULT>(sizeof text)) return 1;
  SendMessageA(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  const std::string entry = text;
  if (entry.empty() || entry.back() < '1' || entry.back() > '0' + kUnits) return 1;
  return entry.back() - '0';
}

INT_PTR CALLBACK UnitProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      HWND list = GetDlgItem(dialog, IDC_UNIT_LIST);
      for (int unit = 1; unit <= kUnits; ++unit) {
        const std::string entry = "UPS" + std::to_string(unit);
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
      }
      SendMessageA(list, CB_SETCURSEL, 0, 0);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(dialog, UnitOfEntry(GetDlgItem(dialog, IDC_UNIT_LIST)));
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 1);  // closed without OK: the first unit, as preselected
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int SelectUnit(HINSTANCE instance, HWND owner) {
  const INT_PTR unit =
      DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UNIT_SELECT), owner, UnitProc, 0);
  return unit >= 1 && unit <= kUnits ? static_cast<int>(unit) : 1;
}

}  // namespace win32
}  // namespace linewatch
