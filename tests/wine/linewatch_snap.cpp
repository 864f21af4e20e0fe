// The eyes of the monitor's screenshot test: a Windows program, run under Wine beside
// linewatch.exe, that finds its windows and reports what the screen shows. Texts go out as
// UTF-8, one item a line; the exit code is 0 when the window asked for was there.
//
//   linewatch_snap texts TITLE ID...          "ID<TAB>text" of each control of the top window
//   linewatch_snap shot TITLE FILE.bmp ID...  the window's pixels as a 24-bit BMP; then
//                                             "window W H" and "ID X Y W H" per control: its
//                                             client area inside the picture
//   linewatch_snap close TITLE                asks the top window to close
//   linewatch_snap msgbox CAPTION MS [ok]     waits up to MS for a message box of that caption,
//                                             prints its text, and presses OK when asked
//
// Only the programs of this test are looked at, so the first window of a title is the one.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

// A line break inside a text is written as "\n", so that one item stays one line.
std::string OneLine(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

HWND TopWindow(const std::wstring& title) { return FindWindowW(nullptr, title.c_str()); }

int Texts(const std::wstring& title, const std::vector<std::wstring>& ids) {
  const HWND top = TopWindow(title);
  if (top == nullptr) return 1;
  for (const std::wstring& id : ids) {
    const HWND control = GetDlgItem(top, _wtoi(id.c_str()));
    std::printf("%s\t%s\n", Utf8(id).c_str(),
                control == nullptr ? "<none>" : OneLine(WindowText(control)).c_str());
  }
  return 0;
}

bool WriteBmp(const std::wstring& path, int width, int height, const std::vector<BYTE>& bits) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BitBlt fills it
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(bits.size());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (out == nullptr) return false;
  const bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info, sizeof info, 1, out) == 1 &&
                  std::fwrite(bits.data(), 1, bits.size(), out) == bits.size();
  return std::fclose(out) == 0 && ok;
}

int Shot(const std::wstring& title, const std::wstring& path, const std::vector<std::wstring>& ids) {
  const HWND top = TopWindow(title);
  if (top == nullptr) return 1;
  RECT frame{};
  GetWindowRect(top, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  if (width <= 0 || height <= 0) return 1;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const BYTE* begin = static_cast<const BYTE*>(pixels);
    ok = WriteBmp(path, width, height,
                  std::vector<BYTE>(begin, begin + stride * static_cast<std::size_t>(height)));
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!ok) return 2;

  std::printf("window %d %d\n", width, height);
  for (const std::wstring& id : ids) {
    const HWND control = GetDlgItem(top, _wtoi(id.c_str()));
    RECT client{};
    POINT origin{0, 0};
    if (control == nullptr || !GetClientRect(control, &client) ||
        !ClientToScreen(control, &origin)) {
      std::printf("%s none\n", Utf8(id).c_str());
      continue;
    }
    std::printf("%s %ld %ld %ld %ld\n", Utf8(id).c_str(), origin.x - frame.left,
                origin.y - frame.top, client.right, client.bottom);
  }
  return 0;
}

int Close(const std::wstring& title) {
  const HWND top = TopWindow(title);
  if (top == nullptr) return 1;
  PostMessageW(top, WM_CLOSE, 0, 0);
  return 0;
}

// The text of a message box: its static controls in order, joined by line breaks.
BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
  wchar_t name[64] = {};
  GetClassNameW(child, name, 64);
  if (lstrcmpiW(name, L"Static") == 0) {
    std::wstring* text = reinterpret_cast<std::wstring*>(param);
    const std::wstring part = WindowText(child);
    if (!part.empty()) *text += (text->empty() ? L"" : L"\n") + part;
  }
  return TRUE;
}

int MessageBoxOf(const std::wstring& caption, int ms, bool pressOk) {
  HWND box = nullptr;
  const DWORD start = GetTickCount();
  for (;;) {
    box = FindWindowW(L"#32770", caption.c_str());
    if (box != nullptr || GetTickCount() - start >= static_cast<DWORD>(ms)) break;
    Sleep(100);
  }
  if (box == nullptr) return 1;
  std::wstring text;
  EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
  std::printf("%s\n", OneLine(text).c_str());
  std::fflush(stdout);
  if (pressOk) {
    const HWND ok = GetDlgItem(box, IDOK);
    if (ok == nullptr) return 3;
    // The button's own click, as a person's would be: the box ends with IDOK.
    PostMessageW(ok, BM_CLICK, 0, 0);
  }
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: linewatch_snap texts TITLE ID... | shot TITLE FILE ID... | close TITLE |"
               " msgbox CAPTION MS [ok]\n");
  return 64;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 3) return Usage();
  const std::wstring command = argv[1];
  const std::vector<std::wstring> rest(argv + 2, argv + argc);
  LocalFree(argv);
  if (command == L"texts") {
    return Texts(rest[0], std::vector<std::wstring>(rest.begin() + 1, rest.end()));
  }
  if (command == L"shot" && rest.size() >= 2) {
    return Shot(rest[0], rest[1], std::vector<std::wstring>(rest.begin() + 2, rest.end()));
  }
  if (command == L"close") return Close(rest[0]);
  if (command == L"msgbox" && rest.size() >= 2) {
    return MessageBoxOf(rest[0], _wtoi(rest[1].c_str()), rest.size() > 2 && rest[2] == L"ok");
  }
  return Usage();
}
