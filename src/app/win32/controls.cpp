#include "app/win32/controls.h"

#include "platform/win32/wide_text.h"

namespace quenbolt {
namespace win32 {

bool Control::create(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style,
                     DWORD exStyle, const Geometry& where, int id, HFONT font) {
  hwnd_ = CreateWindowExW(exStyle, windowClass, widen(text).c_str(), style | WS_CHILD | WS_VISIBLE,
                          where.x, where.y, where.width, where.height, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                          GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  id_ = id;
  if (font) setFont(font);
  return true;
}

bool Button::create(HWND parent, const std::string& text, const Geometry& where, int id,
                    HFONT font) {
  return Control::create(parent, L"BUTTON", text, BS_PUSHBUTTON | WS_TABSTOP, 0, where, id, font);
}

bool CheckBox::create(HWND parent, const std::string& text, int x, int y, int id, HFONT font) {
  const SIZE extent = textExtent(font, text);
  const int box = GetSystemMetrics(SM_CXMENUCHECK);
  const Geometry where{x, y, box + 6 + extent.cx, extent.cy > box ? extent.cy : box};
  return Control::create(parent, L"BUTTON", text, BS_AUTOCHECKBOX | WS_TABSTOP, 0, where, id, font);
}

bool Label::create(HWND parent, const std::string& text, int x, int y, HFONT font) {
  const SIZE extent = textExtent(font, text);
  return Control::create(parent, L"STATIC", text, SS_LEFT | SS_NOPREFIX, 0,
                         Geometry{x, y, extent.cx, extent.cy}, -1, font);
}

bool GroupBox::create(HWND parent, const std::string& text, const Geometry& where, int id,
                      HFONT font) {
  if (!Control::create(parent, L"BUTTON", text, BS_GROUPBOX, WS_EX_CONTROLPARENT, where, id,
                       font)) {
    return false;
  }
  return SetWindowSubclass(hwnd_, forwardNotifications, 0, 0) != FALSE;
}

LRESULT CALLBACK GroupBox::forwardNotifications(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      // A button window keeps its children's notifications to itself.
      return SendMessageW(GetParent(window), message, wParam, lParam);
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, forwardNotifications, 0);
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

int Edit::standardHeight(HFONT font) {
  // A line, the client margins and the sunken 3-D border.
  return lineHeight(font) + 2 * GetSystemMetrics(SM_CYEDGE) + 4;
}

bool Edit::create(HWND parent, const Geometry& where, DWORD extraStyle, int id, HFONT font) {
  return Control::create(parent, L"EDIT", "", ES_LEFT | ES_AUTOHSCROLL | extraStyle,
                         WS_EX_CLIENTEDGE, where, id, font);
}

void Edit::filterCharacters(std::function<bool(unsigned)> accept) {
  accept_ = std::move(accept);
  SetWindowSubclass(hwnd_, filterProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK Edit::filterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR self) {
  Edit* edit = reinterpret_cast<Edit*>(self);
  switch (message) {
    case WM_CHAR:
      if (edit->accept_ && !edit->accept_(static_cast<unsigned>(wParam))) return 0;
      break;
    case WM_PASTE:  // the context menu's Paste (Ctrl+V is a character the filter may drop)
      if (edit->accept_) {
        edit->pasteFiltered();
        return 0;
      }
      break;
    case WM_KEYDOWN:
      // Shift+Insert is taken here, before the control pastes on it by itself, which need not go
      // through a WM_PASTE.
      if (edit->accept_ && wParam == VK_INSERT && GetKeyState(VK_SHIFT) < 0 &&
          GetKeyState(VK_CONTROL) >= 0) {
        edit->pasteFiltered();
        return 0;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, filterProc, 0);
      break;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void Edit::pasteFiltered() {
  if ((GetWindowLongPtrW(hwnd_, GWL_STYLE) & ES_READONLY) || !OpenClipboard(hwnd_)) return;
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const wchar_t* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  // Control characters stay out even where the filter lets them pass as keys (backspace).
  std::wstring kept;
  for (wchar_t c : text) {
    if (c >= 0x20 && accept_(static_cast<unsigned>(c))) kept += c;
  }
  if (kept.empty()) return;
  // As typed characters would be: upper-cased in an upper-case field.
  if (GetWindowLongPtrW(hwnd_, GWL_STYLE) & ES_UPPERCASE) {
    CharUpperBuffW(&kept[0], static_cast<DWORD>(kept.size()));
  }
  send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kept.c_str()));
}

std::size_t Edit::caret() const {
  DWORD start = 0;
  DWORD end = 0;
  send(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return end;
}

bool DropDownList::create(HWND parent, int x, int y, int width, int listHeight, int id,
                          HFONT font) {
  return Control::create(parent, L"COMBOBOX", "",
                         CBS_DROPDOWNLIST | CBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, 0,
                         Geometry{x, y, width, listHeight}, id, font);
}

void DropDownList::add(const std::string& text) {
  send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
}

std::size_t DropDownList::count() const {
  const LRESULT n = send(CB_GETCOUNT);
  return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::string DropDownList::itemText(std::size_t index) const {
  const LRESULT length = send(CB_GETLBTEXTLEN, index);
  if (length <= 0) return std::string();
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = send(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&wide[0]));
  wide.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return narrow(wide);
}

bool ListView::create(HWND parent, const Geometry& where, DWORD extraStyle, DWORD extendedListStyle,
                      int id, HFONT font) {
  if (!Control::create(parent, WC_LISTVIEWW, "", extraStyle | LVS_OWNERDATA | WS_TABSTOP,
                       WS_EX_CLIENTEDGE, where, id, font)) {
    return false;
  }
  send(LVM_SETEXTENDEDLISTVIEWSTYLE, extendedListStyle, extendedListStyle);
  return true;
}

void ListView::addColumns(const std::vector<ListColumn>& columns) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::wstring header = widen(columns[i].header);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = columns[i].format;
    column.cx = columns[i].width;
    column.pszText = &header[0];
    column.iSubItem = static_cast<int>(i);
    send(LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

void ListView::resetRows(std::size_t count) {
  // Without the delete, the selection and focus of the old rows would survive the new count.
  send(LVM_DELETEALLITEMS);
  send(LVM_SETITEMCOUNT, count, 0);
}

void ListView::redrawRow(std::size_t row) { send(LVM_REDRAWITEMS, row, row); }

void ListView::select(std::size_t row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  send(LVM_ENSUREVISIBLE, row, FALSE);
}

bool StatusBar::create(HWND parent, int id, HFONT font) {
  if (!Control::create(parent, STATUSCLASSNAMEW, "", SBARS_SIZEGRIP, 0, Geometry{}, id, font)) {
    return false;
  }
  send(SB_SIMPLE, TRUE);
  return true;
}

void StatusBar::setText(const std::string& text) {
  const std::wstring wide = widen(text);
  send(SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(wide.c_str()));
}

int StatusBar::height() const {
  RECT rect{};
  GetWindowRect(hwnd_, &rect);
  return rect.bottom - rect.top;
}

bool ImageList::loadBitmap(HINSTANCE module, const wchar_t* resource, int size,
                           COLORREF transparent) {
  list_ = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 1, 1);
  if (!list_) return false;
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(module, resource, IMAGE_BITMAP, 0, 0, 0));
  if (!bitmap) return false;
  const int added = ImageList_AddMasked(list_, bitmap, transparent);
  DeleteObject(bitmap);
  return added >= 0;
}

}  // namespace win32
}  // namespace quenbolt
