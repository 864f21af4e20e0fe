#include "linewatch/win32/settings_dialog.h"

#include <commdlg.h>
// The header maps ChooseColor to ChooseColorA, which would rename the model's operation of the
// same name here only; the chooser is called by its own name.
#undef ChooseColor

#include <string>
#include <vector>

#include "linewatch/core/settings_dialog_model.h"
#include "linewatch/core/startup.h"
#include "linewatch/win32/resource_ids.h"
#include "linewatch/win32/status_text_control.h"

namespace linewatch {
namespace win32 {
namespace {

constexpr const char* kSizeEntries[] = {"150", "300", "600"};

// An edit lost the focus (wParam: its id). Posted, so that its entry is taken once the focus
// has settled: a refusal can then put the focus back without the move it interrupted undoing it.
constexpr UINT kLeaveEdit = WM_APP + 1;

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  const int length = GetWindowTextLengthA(control);
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  GetWindowTextA(control, buffer.data(), length + 1);
  return std::string(buffer.data());
}

class SettingsDialog {
 public:
  explicit SettingsDialog(const MonitorContext& context) : context_(context), model_(context) {}

  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    self->dialog_ = dialog;
    return self->Handle(message, wParam, lParam);
  }

 private:
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        Start();
        return TRUE;
      case WM_CTLCOLORSTATIC:
        return ColorLabel(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
      case WM_COMMAND:
        return Command(LOWORD(wParam), HIWORD(wParam));
      case kLeaveEdit:
        LeaveEdit(static_cast<int>(wParam));
        return TRUE;
      default:
        return FALSE;
    }
  }

  void Start() {
    SendDlgItemMessageA(dialog_, IDC_LOWER, EM_LIMITTEXT, 3, 0);
    SendDlgItemMessageA(dialog_, IDC_UPPER, EM_LIMITTEXT, 3, 0);
    HWND list = GetDlgItem(dialog_, IDC_ITEM_LIST);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    for (const CaptionEntry& entry : model_.Captions()) {
      SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.caption.c_str()));
    }
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(model_.SelectedIndex()), 0);
    HWND sizes = GetDlgItem(dialog_, IDC_SIZE_LIST);
    for (const char* entry : kSizeEntries) {
      SendMessageA(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    }
    SetDlgItemTextA(dialog_, IDC_INTERVAL, model_.IntervalText().c_str());
    CheckRadioButton(dialog_, IDC_TARGET_REDZONE, IDC_TARGET_BACKGROUND,
                     IDC_TARGET_REDZONE + static_cast<int>(model_.Target()));
    ShowSelectedGraph();
  }

  void ShowSelectedGraph() {
    SetDlgItemTextA(dialog_, IDC_LOWER, model_.LowerText().c_str());
    SetDlgItemTextA(dialog_, IDC_UPPER, model_.UpperText().c_str());
    SendDlgItemMessageA(dialog_, IDC_SIZE_LIST, CB_SETCURSEL, static_cast<WPARAM>(model_.SizeIndex()),
                        0);
  }

  // The radio labels take the selected graph's colours so the user sees what each one sets.
  INT_PTR ColorLabel(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    const int graph = model_.SelectedGraph();
    if (id < IDC_TARGET_REDZONE || id > IDC_TARGET_BACKGROUND || graph < 0) return FALSE;
    const GraphSetting& g = model_.Working()[static_cast<std::size_t>(graph)];
    const Rgb& color = id == IDC_TARGET_REDZONE ? g.redZoneColor
                       : id == IDC_TARGET_GRAPH ? g.graphColor
                                                : g.backColor;
    SetTextColor(dc, ColorOf(color));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
  }

  void RedrawAll() {
    RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }

  INT_PTR Command(int id, int code) {
    switch (id) {
      case IDC_ITEM_LIST:
        if (code == CBN_SELCHANGE) {
          model_.SelectIndex(static_cast<int>(SendDlgItemMessageA(dialog_, id, CB_GETCURSEL, 0, 0)));
          ShowSelectedGraph();
          RedrawAll();
        }
        return TRUE;
      case IDC_SIZE_LIST:
        if (code == CBN_SELCHANGE) {
          model_.SelectSize(static_cast<int>(SendDlgItemMessageA(dialog_, id, CB_GETCURSEL, 0, 0)));
        }
        return TRUE;
      case IDC_LOWER:
      case IDC_UPPER:
        if (code == EN_KILLFOCUS && !closing_ && !refusing_) {
          PostMessageA(dialog_, kLeaveEdit, static_cast<WPARAM>(id), 0);
        }
        return TRUE;
      case IDC_TARGET_REDZONE:
      case IDC_TARGET_GRAPH:
      case IDC_TARGET_BACKGROUND:
        if (code == BN_CLICKED) model_.SelectTarget(static_cast<ColorTarget>(id - IDC_TARGET_REDZONE));
        return TRUE;
      case IDC_CHOOSE_COLOR:
        if (code == BN_CLICKED) PickColor();
        return TRUE;
      case IDOK: {
        const DialogOutcome outcome =
            model_.Ok(ControlText(dialog_, IDC_INTERVAL), ControlText(dialog_, IDC_LOWER),
                      ControlText(dialog_, IDC_UPPER), context_.graphIniPath);
        if (outcome.accepted) {
          closing_ = true;
          EndDialog(dialog_, IDOK);
        } else {
          Show(outcome);
        }
        return TRUE;
      }
      case IDCANCEL:
        closing_ = true;  // the edits' focus loss while the dialog goes is no entry
        EndDialog(dialog_, IDCANCEL);
        return TRUE;
      default:
        return FALSE;
    }
  }

  void LeaveEdit(int id) {
    if (closing_) return;
    const std::string text = ControlText(dialog_, id);
    Show(id == IDC_LOWER ? model_.LeaveLower(text) : model_.LeaveUpper(text));
  }

  void PickColor() {
    CHOOSECOLORA choose{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = dialog_;
    choose.lpCustColors = customColors_;
    if (auto last = model_.LastChosenColor()) {
      choose.rgbResult = static_cast<COLORREF>(*last);
      choose.Flags = CC_RGBINIT;
    }
    if (!ChooseColorA(&choose)) return;
    model_.ChooseColor(choose.rgbResult);
    RedrawAll();
  }

  // A refusal: the model's message, then the focus where the model puts it.
  void Show(const DialogOutcome& outcome) {
    if (outcome.accepted) return;
    refusing_ = true;
    const bool ownCaption = !outcome.caption.empty();
    MessageBoxA(dialog_, outcome.message.c_str(),
                ownCaption ? outcome.caption.c_str() : kProgramName,
                MB_OK | (ownCaption ? MB_ICONSTOP : MB_ICONEXCLAMATION));
    int focus = 0;
    switch (outcome.focus) {
      case DialogOutcome::Focus::Interval: focus = IDC_INTERVAL; break;
      case DialogOutcome::Focus::Lower: focus = IDC_LOWER; break;
      case DialogOutcome::Focus::Upper: focus = IDC_UPPER; break;
      case DialogOutcome::Focus::None: break;
    }
    if (focus != 0) {
      HWND control = GetDlgItem(dialog_, focus);
      SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
      SendMessageA(control, EM_SETSEL, 0, -1);
    }
    refusing_ = false;
  }

  const MonitorContext& context_;
  SettingsDialogModel model_;
  HWND dialog_ = nullptr;
  COLORREF customColors_[16] = {};
  bool closing_ = false;
  bool refusing_ = false;
};

}  // namespace

INT_PTR RunSettingsDialog(HINSTANCE instance, HWND owner, const MonitorContext& context) {
  SettingsDialog dialog(context);
  const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS), owner,
                                         SettingsDialog::Proc, reinterpret_cast<LPARAM>(&dialog));
  return result == IDOK ? IDOK : IDCANCEL;
}

}  // namespace win32
}  // namespace linewatch
