#include "FolderBrowser.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cwchar>
#include <memory>
#include <string>

#include <QWidget>

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kTitle[] = L"フォルダの選択";
constexpr wchar_t kOkText[] = L"選択";
// The longest path the shell hands out.
constexpr DWORD kPathCapacity = 32768;

struct IdListFree {
  void operator()(PIDLIST_ABSOLUTE list) const { CoTaskMemFree(list); }
};
using UniqueIdList = std::unique_ptr<ITEMIDLIST, IdListFree>;

// The browser's own tree needs COM on this thread; Qt has usually set it up
// already, and then this only counts along.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT result_;
};

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM /*parameter*/, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  SetWindowTextW(dialog, kTitle);
  SendMessageW(dialog, BFFM_SETOKTEXT, 0, reinterpret_cast<LPARAM>(kOkText));
  const std::wstring& last = *reinterpret_cast<const std::wstring*>(data);
  if (!last.empty())
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(last.c_str()));
  return 0;
}

}  // namespace

TSelectFolderDialog::TSelectFolderDialog(QWidget* owner) : QObject(owner) {}

std::optional<fs::path> TSelectFolderDialog::Execute() {
  const ComApartment com;
  const std::wstring last = folder_.native();
  auto* owner = qobject_cast<QWidget*>(parent());
  BROWSEINFOW info{};
  info.hwndOwner = owner != nullptr ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
  info.pidlRoot = nullptr;  // the desktop
  info.lpszTitle = kTitle;
  // The new style's tree, without its name box and new-folder button.
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(&last);
  const UniqueIdList chosen(SHBrowseForFolderW(&info));
  if (!chosen) return std::nullopt;
  std::wstring path(kPathCapacity, L'\0');
  if (!SHGetPathFromIDListEx(chosen.get(), path.data(), kPathCapacity, GPFIDL_DEFAULT)) {
    return std::nullopt;
  }
  path.resize(std::wcslen(path.c_str()));
  folder_ = fs::path(path);
  return folder_;
}

// Qt's dialog and its keys are Linux's; the shell's browser handles its own.
bool TSelectFolderDialog::eventFilter(QObject* watched, QEvent* event) {
  return QObject::eventFilter(watched, event);
}
