#include "app/win32/main_window.h"

#include <vector>

#include "app/startup.h"
#include "platform/win32/wide_text.h"

namespace quenbolt {

namespace {

// Control ids. No control uses IDOK: the dialog keyboard handling turns Enter into IDOK, and no
// button is bound to Enter. ExitButton is IDCANCEL, so Escape presses it.
enum ControlId : int {
  kExitButtonId = IDCANCEL,
  kOkButtonId = 101,
  kBootLabelFirstCheckId,
  kPartitionListViewId,
  kPropertiesGroupId,
  kLabelEditId,
  kTypeIdEditId,
  kModifyButtonId,
  kDriveLetterEditId,
  kActiveCheckId,
  kTypeChoiceListId,
  kStatusLineId,
};

constexpr int kClientWidth = 689;
constexpr int kClientHeight = 374;
constexpr COLORREF kImageTransparent = 0xC8C8C8;

std::vector<win32::ListColumn> partitionColumns() {
  const auto& headers = columnHeaders();
  const int formats[kColumnCount] = {LVCFMT_CENTER, LVCFMT_CENTER, LVCFMT_CENTER, LVCFMT_CENTER,
                                     LVCFMT_CENTER, LVCFMT_CENTER, LVCFMT_CENTER, LVCFMT_RIGHT,
                                     LVCFMT_RIGHT,  LVCFMT_LEFT};
  const int widths[kColumnCount] = {40, 80, 40, 40, 65, 75, 70, 72, 95, 75};
  std::vector<win32::ListColumn> columns;
  for (std::size_t i = 0; i < kColumnCount; ++i)
    columns.push_back({headers[i], formats[i], widths[i]});
  return columns;
}

}  // namespace

Font::Font(const wchar_t* face, int height)
    : font_(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, face)) {}

MainWindow::MainWindow(Platform& platform, Win32UiServices& ui, MainWindowState& state)
    : platform_(platform),
      ui_(ui),
      state_(state),
      presenter_(platform, *this, state),
      font_(L"tahoma", -12),
      exitButtonFont_(L"Tahoma", -11) {}

MainWindow::~MainWindow() {
  presenter_.releaseTemporaryLetters();
  // The controls go before the fonts they draw with.
  if (hwnd_) {
    HWND window = hwnd_;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    DestroyWindow(window);
  }
  ui_.setWindow(nullptr);
  ui_.setStatusSink(nullptr);
}

bool MainWindow::create() {
  if (!Form::create("Quenbolt V1.0.9", WS_OVERLAPPEDWINDOW, 247, 167)) return false;
  // From here on close requests reach the window, including the one the help step may queue.
  ui_.setWindow(hwnd_);
  ui_.setStatusSink([this](const std::string& text) { setStatusText(text); });

  runHelpStep(platform_, state_);

  SetWindowLongPtrW(hwnd_, GWL_STYLE, GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~WS_MAXIMIZEBOX);
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  setClientSize(kClientWidth, kClientHeight);
  setFont(font_.handle());

  partitionImages_.loadBitmap(GetModuleHandleW(nullptr), L"FORM1_IMAGELIST1", 16,
                              kImageTransparent);

  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  createControls();
  centreOnScreen();

  startupResult_ = runStartup(platform_, *this, state_);
  return true;
}

bool MainWindow::createControls() {
  HFONT font = font_.handle();
  bool ok = okButton_.create(hwnd_, "确定", {440, 336, 81, 25}, kOkButtonId, font);
  ok &= exitButton_.create(hwnd_, "退出", {576, 336, 81, 25}, kExitButtonId,
                           exitButtonFont_.handle());
  ok &= bootLabelFirstCheck_.create(hwnd_, "引导区卷标优先", 24, 340, kBootLabelFirstCheckId, font);
  // The image list belongs to partitionImages_, which destroys it: a list view without
  // LVS_SHAREIMAGELISTS destroys it too, with itself, and the second destruction at exit could
  // crash the program after a batch run had set its status.
  ok &= partitionListView_.create(
      hwnd_, {16, 16, 657, 225},
      LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
      LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT, kPartitionListViewId, font);
  partitionListView_.send(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
  partitionListView_.setSmallImages(partitionImages_.handle());
  partitionListView_.addColumns(partitionColumns());

  ok &= propertiesGroup_.create(hwnd_, "属性", {16, 256, 657, 65}, kPropertiesGroupId, font);
  HWND group = propertiesGroup_.handle();
  const int editHeight = win32::Edit::standardHeight(font);
  ok &= driveLetterCaption_.create(group, "盘符:", 12, 32, font);
  ok &= typeIdCaption_.create(group, "分区标记:", 300, 32, font);
  ok &= labelCaption_.create(group, "卷标:", 87, 32, font);
  ok &= labelEdit_.create(group, {127, 28, 113, editHeight}, WS_TABSTOP, kLabelEditId, font);
  // Wide enough for a GPT row's four-digit code.
  ok &= typeIdEdit_.create(group, {364, 28, 38, editHeight}, ES_UPPERCASE | WS_TABSTOP,
                           kTypeIdEditId, font);
  typeIdEdit_.filterCharacters([this](unsigned c) { return presenter_.filterTypeIdChar(c); });
  ok &= modifyButton_.create(group, "修改", {560, 26, 81, 25}, kModifyButtonId, font);
  ok &= driveLetterEdit_.create(group, {52, 28, 25, editHeight},
                                ES_READONLY | ES_UPPERCASE | ES_CENTER, kDriveLetterEditId, font);
  ok &= activeCheck_.create(group, "活动", 249, 30, kActiveCheckId, font);
  ok &= typeChoiceList_.create(group, 406, 27, 145, 300, kTypeChoiceListId, font);
  // StatusLine is made when the first text arrives.
  return ok;
}

void MainWindow::setStatusText(const std::string& text) {
  if (!hwnd_) return;
  if (!statusLine_.exists()) {
    if (!statusLine_.create(hwnd_, kStatusLineId, font_.handle())) return;
    // Grow the window by the bar, so that it does not cover the buttons along the bottom.
    RECT rect{};
    GetWindowRect(hwnd_, &rect);
    SetWindowPos(hwnd_, nullptr, 0, 0, rect.right - rect.left,
                 rect.bottom - rect.top + statusLine_.height(),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  statusLine_.setText(text);
}

void MainWindow::appendWindowMenuItem(const WindowMenuItem& item) {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  if (!menu) return;
  const std::wstring text = win32::widen(item.text);
  AppendMenuW(menu, item.flags, item.id, item.text.empty() ? nullptr : text.c_str());
}

void MainWindow::showWindow() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  // Paint now: the scans that follow keep the message loop waiting.
  UpdateWindow(hwnd_);
}

void MainWindow::showRows(const PartitionList& list) {
  shownRows_ = &list;
  partitionListView_.resetRows(list.size());
}

void MainWindow::updateRow(const PartitionList& list, std::size_t row) {
  if (&list != shownRows_ || row >= list.size()) return;
  partitionListView_.redrawRow(row);
}

void MainWindow::onListDisplayInfo(NMLVDISPINFOW& info) const {
  LVITEMW& item = info.item;
  if (!shownRows_ || item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= shownRows_->size())
    return;
  const PartitionRow& row = shownRows_->rows[static_cast<std::size_t>(item.iItem)];
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    const std::size_t column = static_cast<std::size_t>(item.iSubItem);
    const std::wstring text =
        column < kColumnCount ? win32::widen(row.cells[column]) : std::wstring();
    lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
  }
  if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) {
    item.iImage = row.imageIndex >= 0 ? row.imageIndex : I_IMAGENONE;
  }
}

void MainWindow::setLabelEnabled(bool enabled) {
  labelEdit_.setEnabled(enabled);
  labelCaption_.setEnabled(enabled);
}

void MainWindow::setTypeEnabled(bool enabled) {
  typeIdEdit_.setEnabled(enabled);
  typeIdCaption_.setEnabled(enabled);
  typeChoiceList_.setEnabled(enabled);
}

LRESULT MainWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      onCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return onNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case WM_SYSCOMMAND:
      presenter_.handleSystemCommand(static_cast<unsigned>(wParam));
      break;  // never consumed: move, size, minimise and close still work
    case WM_CLOSE:
      if (presenter_.closeRequested()) DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      presenter_.releaseTemporaryLetters();
      ui_.setWindow(nullptr);
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      if (statusLine_.exists()) statusLine_.send(WM_SIZE, wParam, lParam);
      break;
    case WM_SETCURSOR:
      if (ui_.currentCursor() == Cursor::Wait) {
        SetCursor(Win32UiServices::cursorHandle(Cursor::Wait));
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      // Like a dialog: the focus goes back to the control that had it, first to the list.
      SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : partitionListView_.handle());
      return 0;
  }
  return defaultHandling(message, wParam, lParam);
}

void MainWindow::onCommand(int id, int code) {
  switch (id) {
    case kOkButtonId:
      if (code == BN_CLICKED) presenter_.confirmChanges();
      break;
    case kExitButtonId:  // also Escape, from the message loop's dialog handling
      if (code == BN_CLICKED) presenter_.exitWithoutWriting();
      break;
    case kModifyButtonId:
      if (code == BN_CLICKED) presenter_.stageRowEdit();
      break;
    case kBootLabelFirstCheckId:
      if (code == BN_CLICKED) presenter_.bootLabelFirstClicked();
      break;
    case kLabelEditId:
      if (code == EN_CHANGE) presenter_.limitLabelText();
      break;
    case kTypeIdEditId:
      if (code == EN_CHANGE) presenter_.syncTypeChoice();
      break;
    case kTypeChoiceListId:
      if (code == CBN_SELCHANGE) presenter_.takeTypeChoice();
      break;
  }
}

LRESULT MainWindow::onNotify(const NMHDR& header, LPARAM lParam) {
  if (header.hwndFrom != partitionListView_.handle()) return 0;
  switch (header.code) {
    case LVN_ITEMCHANGED: {
      const NMLISTVIEW& change = *reinterpret_cast<const NMLISTVIEW*>(lParam);
      const UINT stateBits = LVIS_SELECTED | LVIS_FOCUSED;
      if (change.iItem >= 0 && (change.uChanged & LVIF_STATE) &&
          ((change.uOldState ^ change.uNewState) & stateBits)) {
        presenter_.fillEditor(static_cast<std::size_t>(change.iItem));
      }
      return 0;
    }
    case NM_CLICK:
    case NM_RCLICK:
      presenter_.keepSelection();
      return 0;
    case NM_DBLCLK:
    case NM_RDBLCLK:
      presenter_.openDrive();
      return 0;
    case NM_CUSTOMDRAW:
      return onListCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
    case LVN_GETDISPINFOW:
      onListDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
      return 0;
    case LVN_ODFINDITEMW: {
      // Unanswered (0), the list jumps to row 0 on every key typed into it, and that row's
      // values replace whatever the editor holds.
      const NMLVFINDITEMW& find = *reinterpret_cast<const NMLVFINDITEMW*>(lParam);
      if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) return -1;
      const std::size_t start = find.iStart > 0 ? static_cast<std::size_t>(find.iStart) : 0;
      return presenter_.findRow(win32::narrowMarking(find.lvfi.psz), start,
                                (find.lvfi.flags & LVFI_PARTIAL) != 0,
                                (find.lvfi.flags & LVFI_WRAP) != 0);
    }
  }
  return 0;
}

LRESULT MainWindow::onListCustomDraw(NMLVCUSTOMDRAW& draw) {
  const DWORD stage = draw.nmcd.dwDrawStage;
  if (stage != CDDS_PREPAINT && stage != CDDS_ITEMPREPAINT &&
      stage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
    return CDRF_DODEFAULT;
  }
  const long row = (stage & CDDS_ITEM) ? static_cast<long>(draw.nmcd.dwItemSpec) : -1;
  std::uint32_t colour = draw.clrText;
  const long answer = presenter_.rowTextColour(row, colour);
  draw.clrText = colour;
  return answer;
}

}  // namespace quenbolt
