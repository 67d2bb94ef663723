#pragma once
// Standard controls as thin objects. Each create() makes the control as a child of `parent` with
// the given id, font and geometry, and returns false when Windows refuses.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/win32/window.h"

namespace quenbolt {
namespace win32 {

class Control : public Window {
 public:
  bool create(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style,
              DWORD exStyle, const Geometry& where, int id, HFONT font);
  int id() const { return id_; }

 private:
  int id_ = 0;
};

class Button : public Control {
 public:
  bool create(HWND parent, const std::string& text, const Geometry& where, int id, HFONT font);
};

class CheckBox : public Control {
 public:
  // Sized to its text: the box, a gap and the caption.
  bool create(HWND parent, const std::string& text, int x, int y, int id, HFONT font);
  bool checked() const { return send(BM_GETCHECK) == BST_CHECKED; }
  void setChecked(bool checked) { send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }
};

class Label : public Control {
 public:
  // Sized to its text.
  bool create(HWND parent, const std::string& text, int x, int y, HFONT font);
};

// A group box that can hold controls: their notifications are passed up to the group's parent,
// and Tab moves into them.
class GroupBox : public Control {
 public:
  bool create(HWND parent, const std::string& text, const Geometry& where, int id, HFONT font);

 private:
  static LRESULT CALLBACK forwardNotifications(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
};

class Edit : public Control {
 public:
  // The platform's standard height for a single-line edit in `font`.
  static int standardHeight(HFONT font);

  bool create(HWND parent, const Geometry& where, DWORD extraStyle, int id, HFONT font);
  // Characters for which `accept` answers false never reach the field, typed or pasted (the
  // context menu's Paste, Shift+Insert): a paste inserts only the clipboard's characters that
  // pass.
  void filterCharacters(std::function<bool(unsigned)> accept);
  std::size_t caret() const;
  void setCaret(std::size_t position) { send(EM_SETSEL, position, position); }

 private:
  static LRESULT CALLBACK filterProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  void pasteFiltered();
  std::function<bool(unsigned)> accept_;
};

// A drop-down list without an edit part, items in insertion order.
class DropDownList : public Control {
 public:
  // `listHeight` is the height of the opened list; the closed box takes the standard height.
  bool create(HWND parent, int x, int y, int width, int listHeight, int id, HFONT font);
  void add(const std::string& text);
  std::size_t count() const;
  std::string itemText(std::size_t index) const;
  int selection() const { return static_cast<int>(send(CB_GETCURSEL)); }
  void select(std::size_t index) { send(CB_SETCURSEL, index); }
  void clearSelection() { send(CB_SETCURSEL, static_cast<WPARAM>(-1)); }
};

struct ListColumn {
  std::string header;
  int format = LVCFMT_LEFT;
  int width = 0;
};

// A list view in report mode whose rows live elsewhere (LVS_OWNERDATA): the control keeps only
// their number, selection and focus, and asks for a cell's text when it draws it. Filling it is
// one message however many rows there are; hundreds of inserted rows with ten cells each cost
// seconds at start-up under Wine.
class ListView : public Control {
 public:
  bool create(HWND parent, const Geometry& where, DWORD extraStyle, DWORD extendedListStyle, int id,
              HFONT font);
  void addColumns(const std::vector<ListColumn>& columns);
  void setSmallImages(HIMAGELIST images) {
    send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  }
  // Drops every row and its selection, then announces `count` rows, none selected.
  void resetRows(std::size_t count);
  // Draws the row again from its source.
  void redrawRow(std::size_t row);
  int selected() const {
    return static_cast<int>(send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  }
  // Selects `row` and gives it the focus mark; the list deselects the other row itself.
  void select(std::size_t row);
};

// A status bar in simple mode: one pane across the bottom edge.
class StatusBar : public Control {
 public:
  bool create(HWND parent, int id, HFONT font);
  void setText(const std::string& text);
  int height() const;
};

// Owns an image list.
class ImageList {
 public:
  ImageList() = default;
  ImageList(const ImageList&) = delete;
  ImageList& operator=(const ImageList&) = delete;
  ~ImageList() {
    if (list_) ImageList_Destroy(list_);
  }
  // 16 x 16 images from a bitmap resource, `transparent` (a COLORREF) masked out.
  bool loadBitmap(HINSTANCE module, const wchar_t* resource, int size, COLORREF transparent);
  HIMAGELIST handle() const { return list_; }

 private:
  HIMAGELIST list_ = nullptr;
};

}  // namespace win32
}  // namespace quenbolt
