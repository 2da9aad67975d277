#include "settingsdialog/settings_dialog_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

#include "defaultmovie/temp_movie_files.h"
#include "startup/app_win32.h"
#include "win32/error_text_win32.h"
#include "win32/text_win32.h"

namespace orrivel {
namespace {

using I = ControlId;

constexpr int kFolderIndentTwips = 150;
constexpr int kDropDownItems = 8;
constexpr char kListFullText[] =
    "The image list is full. Remove a picture from it before adding another.";

// The form's children in tab (and stacking) order: the frames lie front to
// back as they must overlap, the picture frame over the preview over the
// movie frame.
constexpr ControlId kFormOrder[] = {I::ModeMovie,  I::ModePicture, I::PictureFrame, I::PreviewFrame,
                                    I::MovieFrame, I::Ok,          I::Cancel,       I::About};

std::wstring W(std::string_view utf8) { return win32::Utf8ToWide(utf8); }
std::string U(std::wstring_view wide) { return win32::WideToUtf8(wide); }

std::wstring ListText(HWND list, int index) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

int Selection(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)); }

bool IsChecked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetCheck(HWND box, WPARAM state) {
  if (SendMessageW(box, BM_GETCHECK, 0, 0) != static_cast<LRESULT>(state))
    SendMessageW(box, BM_SETCHECK, state, 0);
}

HICON StockIcon(SHSTOCKICONID id) {
  SHSTOCKICONINFO info{};
  info.cbSize = sizeof(info);
  if (FAILED(SHGetStockIconInfo(id, SHGSI_ICON | SHGSI_SMALLICON, &info))) return nullptr;
  return info.hIcon;
}

// A plain folder where the system has no folder icon to give.
void DrawFolderGlyph(HDC dc, RECT box, bool open) {
  const int w = box.right - box.left, h = box.bottom - box.top;
  HBRUSH fill = CreateSolidBrush(open ? RGB(255, 224, 128) : RGB(240, 200, 80));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(160, 120, 30));
  HGDIOBJ oldBrush = SelectObject(dc, fill), oldPen = SelectObject(dc, pen);
  const POINT outline[] = {{box.left, box.top + h / 5},
                           {box.left + w * 2 / 5, box.top + h / 5},
                           {box.left + w / 2, box.top + h * 3 / 10},
                           {box.right - 1, box.top + h * 3 / 10},
                           {box.right - 1, box.bottom - h / 8},
                           {box.left, box.bottom - h / 8}};
  Polygon(dc, outline, static_cast<int>(std::size(outline)));
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(fill);
  DeleteObject(pen);
}

}  // namespace

MovieChoice ChooseMovieFile(HWND owner) {
  static const wchar_t kFilter[] = L"Flash Movies (*.swf)\0*.swf\0All Files (*.*)\0*.*\0";
  std::vector<wchar_t> file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = kFilter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameW(&ofn)) return {std::wstring(file.data()), {}};
  const DWORD code = CommDlgExtendedError();
  if (code == 0) return {};  // cancelled
  return {std::nullopt, ErrorInfo{static_cast<int>(code), "The file dialog could not be shown."}};
}

SettingsDialog::SettingsDialog(App& app, MovieChooser chooser)
    : app_(app), chooser_(std::move(chooser)), model_(*this) {}

SettingsDialog::~SettingsDialog() { Close(); }

bool SettingsDialog::Load() {
  if (IsOpen()) return true;
  CreateArgs args;
  args.className = kSettingsDialogClass;
  args.title = W(kDialogCaption);
  args.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  args.exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
  // The system chooses where the window starts.
  args.rect = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + 100, CW_USEDEFAULT + 100};
  args.background = GetSysColorBrush(COLOR_BTNFACE);
  args.icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
  if (!Create(args)) return false;
  dpi_ = GetDpiForWindow(hwnd());
  RECT client{0, 0, TwipsAt(kInitialClientWidth, dpi_), TwipsAt(kInitialClientHeight, dpi_)};
  AdjustWindowRectExForDpi(&client, args.style, FALSE, args.exStyle, dpi_);
  SetWindowPos(hwnd(), nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  MakeFonts();
  folderClosed_ = StockIcon(SIID_FOLDER);
  folderOpen_ = StockIcon(SIID_FOLDEROPEN);
  if (!CreateControls()) {
    Close();
    return false;
  }
  model_.Load(app_.Settings(), app_.Store().pictureList());
  SwitchMode(model_.state().mode);
  FillDrives();
  wchar_t current[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  OpenFolder(current);
  return true;
}

void SettingsDialog::Show() {
  ShowWindow(hwnd(), SW_SHOW);
  SetForegroundWindow(hwnd());
  FocusFirstControl();
}

HWND SettingsDialog::Control(ControlId id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void SettingsDialog::MakeFonts() {
  // The system's dialog font at the window's DPI.
  LOGFONTW font{};
  font.lfHeight = -MulDiv(8, static_cast<int>(dpi_), 72);
  font.lfCharSet = DEFAULT_CHARSET;
  wcscpy_s(font.lfFaceName, L"MS Shell Dlg 2");
  dialogFont_.reset(CreateFontIndirectW(&font));
  font.lfHeight = -MulDiv(825, static_cast<int>(dpi_), 7200);
  wcscpy_s(font.lfFaceName, L"Arial");
  noteFont_.reset(CreateFontIndirectW(&font));
}

HFONT SettingsDialog::FontFor(const ControlRow& row) const {
  return static_cast<HFONT>(row.font == LabelFont::Arial825 ? noteFont_.get() : dialogFont_.get());
}

bool SettingsDialog::CreateControls() {
  for (const ControlRow& row : DialogControls()) {
    HWND parent = hwnd();
    if (row.container != I::Form) parent = frames_.at(row.container)->hwnd();
    HWND control = CreateControl(row, parent);
    if (control == nullptr) return false;
    controls_[row.id] = control;
    rects_[row.id] = row.rect;
  }
  frames_.at(I::PictureFrame)->SetLines(PictureFrameLines());
  SendMessageW(Control(I::Speed), TBM_SETRANGE, TRUE, MAKELPARAM(kMinSpeed, kMaxSpeed));
  SetWindowSubclass(Control(I::ImageList), &SettingsDialog::ListKeyProc, 1,
                    reinterpret_cast<DWORD_PTR>(this));
  OrderControls();
  return true;
}

HWND SettingsDialog::CreateControl(const ControlRow& row, HWND parent) {
  const auto id = static_cast<UINT_PTR>(row.id);
  switch (row.kind) {
    case ControlKind::Frame: {
      auto frame = std::make_unique<FrameBox>();
      if (!frame->Create(parent, id, W(row.caption), static_cast<HFONT>(dialogFont_.get())))
        return nullptr;
      HWND made = frame->hwnd();
      frames_[row.id] = std::move(frame);
      return made;
    }
    case ControlKind::Player:
      return preview_.Create(parent, id) ? preview_.hwnd() : nullptr;
    case ControlKind::Image: {
      ImageBox& box = row.id == I::BrowsePreview ? browsePreview_ : listPreview_;
      return box.Create(parent, id, frames_.at(row.container).get()) ? box.hwnd() : nullptr;
    }
    default:
      break;
  }
  const wchar_t* className = WC_BUTTONW;
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP;
  DWORD exStyle = 0;
  // Every control starts a group but the second option button, so the
  // arrow keys move between the two modes only.
  if (row.id != I::ModePicture) style |= WS_GROUP;
  switch (row.kind) {
    case ControlKind::OptionButton:
      style |= BS_RADIOBUTTON;
      break;
    case ControlKind::Label:
      className = WC_STATICW;
      style = (style & ~WS_TABSTOP) | SS_LEFT | SS_NOPREFIX;
      break;
    case ControlKind::Button:
      style |= BS_PUSHBUTTON;
      break;
    case ControlKind::TextBox:
      className = WC_EDITW;
      style |= ES_AUTOHSCROLL | ES_READONLY;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::CheckBox:
      // The built-in movie's box is set only by the dialog: grayed while in use.
      style |= row.id == I::DefaultMovie ? BS_3STATE : BS_AUTOCHECKBOX;
      break;
    case ControlKind::DriveList:
      className = WC_COMBOBOXW;
      style |= CBS_DROPDOWNLIST | WS_VSCROLL;
      break;
    case ControlKind::DirectoryList:
      className = WC_LISTBOXW;
      style |= LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::FileList:
    case ControlKind::ListBox:
      className = WC_LISTBOXW;
      style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Slider:
      className = TRACKBAR_CLASSW;
      style |= TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM;
      break;
    default:
      return nullptr;
  }
  HWND made = CreateWindowExW(exStyle, className, W(row.caption).c_str(), style, 0, 0, 0, 0, parent,
                              reinterpret_cast<HMENU>(id), GetModuleHandleW(nullptr), nullptr);
  if (made != nullptr) SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(row)), 0);
  return made;
}

void SettingsDialog::OrderControls() {
  // Tab order is stacking order: first the form's children as listed, then
  // each frame's by their tab positions.
  auto stack = [](const std::vector<HWND>& order) {
    HWND after = HWND_TOP;
    for (HWND h : order) {
      SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      after = h;
    }
  };
  std::vector<HWND> form;
  for (ControlId id : kFormOrder) form.push_back(Control(id));
  stack(form);
  for (const auto& [frameId, frame] : frames_) {
    std::vector<const ControlRow*> inside;
    for (const ControlRow& row : DialogControls()) {
      if (row.container == frameId) inside.push_back(&row);
    }
    std::stable_sort(inside.begin(), inside.end(), [](const ControlRow* a, const ControlRow* b) {
      return static_cast<unsigned>(a->tab) < static_cast<unsigned>(b->tab);
    });
    std::vector<HWND> order;
    for (const ControlRow* row : inside) order.push_back(Control(row->id));
    stack(order);
  }
}

void SettingsDialog::PlaceControls() {
  HDC dc = GetDC(hwnd());
  for (const ControlRow& row : DialogControls()) {
    const TwipRect& r = rects_.at(row.id);
    const int left = TwipsAt(r.left, dpi_), top = TwipsAt(r.top, dpi_);
    int width = TwipsAt(r.left + r.width, dpi_) - left;
    int height = TwipsAt(r.top + r.height, dpi_) - top;
    if (row.autoSize) {
      HGDIOBJ old = SelectObject(dc, FontFor(row));
      const std::wstring text = W(row.caption);
      SIZE size{};
      GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
      SelectObject(dc, old);
      width = size.cx;
      height = size.cy;
    }
    // A drop-down list's height includes its open list.
    if (row.kind == ControlKind::DriveList) height *= kDropDownItems;
    SetWindowPos(Control(row.id), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ReleaseDC(hwnd(), dc);
  const DialogLayout layout = LayoutFor(model_.state().mode);
  SetWindowPos(hwnd(), nullptr, 0, 0, TwipsAt(layout.formWidth, dpi_),
               TwipsAt(layout.formHeight, dpi_), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SettingsDialog::SwitchMode(DialogMode mode) {
  model_.SwitchMode(mode);
  const DialogLayout layout = LayoutFor(mode);
  rects_[layout.activeFrame] = layout.frame;
  rects_[I::Ok] = layout.ok;
  rects_[I::Cancel] = layout.cancel;
  rects_[I::About] = layout.about;
  ShowState();
  PlaceControls();
}

void SettingsDialog::ShowState() {
  const DialogState& s = model_.state();
  const bool movie = s.mode == DialogMode::Movie;
  SetCheck(Control(I::ModeMovie), movie ? BST_CHECKED : BST_UNCHECKED);
  SetCheck(Control(I::ModePicture), movie ? BST_UNCHECKED : BST_CHECKED);
  ShowWindow(Control(I::MovieFrame), movie ? SW_SHOWNA : SW_HIDE);
  ShowWindow(Control(I::PictureFrame), movie ? SW_HIDE : SW_SHOWNA);
  const std::wstring path = W(s.pathText);
  if (path != TextOf(Control(I::PathText))) SetWindowTextW(Control(I::PathText), path.c_str());
  HWND defaultMovie = Control(I::DefaultMovie);
  SetCheck(defaultMovie, s.defaultMovie == CheckState::Grayed    ? BST_INDETERMINATE
                         : s.defaultMovie == CheckState::Checked ? BST_CHECKED
                                                                 : BST_UNCHECKED);
  // A box about to be disabled passes the focus on.
  if (!s.defaultMovieEnabled && GetFocus() == defaultMovie)
    SetFocus(GetNextDlgTabItem(hwnd(), defaultMovie, FALSE));
  EnableWindow(defaultMovie, s.defaultMovieEnabled);
  SetCheck(Control(I::Interactive), s.interactive ? BST_CHECKED : BST_UNCHECKED);
  SetCheck(Control(I::LowQuality), s.lowQuality ? BST_CHECKED : BST_UNCHECKED);
  SetCheck(Control(I::Random), s.random ? BST_CHECKED : BST_UNCHECKED);
  SendMessageW(Control(I::Speed), TBM_SETPOS, TRUE, s.speed);
  ShowImageList();
}

void SettingsDialog::ShowImageList() {
  const std::vector<std::string>& names = model_.state().names;
  HWND list = Control(I::ImageList);
  const bool appended = names.size() >= shownNames_.size() &&
                        std::equal(shownNames_.begin(), shownNames_.end(), names.begin());
  // Adding keeps the selection; a removal leaves nothing selected.
  if (!appended) {
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    shownNames_.clear();
  }
  for (size_t i = shownNames_.size(); i < names.size(); ++i)
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(names[i]).c_str()));
  shownNames_ = names;
}

void SettingsDialog::FocusFirstControl() {
  std::vector<const ControlRow*> byTab;
  for (const ControlRow& row : DialogControls()) {
    if (row.tab >= 0) byTab.push_back(&row);
  }
  std::stable_sort(byTab.begin(), byTab.end(),
                   [](const ControlRow* a, const ControlRow* b) { return a->tab < b->tab; });
  for (const ControlRow* row : byTab) {
    HWND h = Control(row->id);
    if (IsWindowVisible(h) && IsWindowEnabled(h) && (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP)) {
      SetFocus(h);
      return;
    }
  }
}

std::string SettingsDialog::ResourceToTempFile() {
  return app_.TempFiles().ResourceToTempFile(kDefaultMovieId, kDefaultMovieType);
}

void SettingsDialog::LoadPreview(const std::string& path) { preview_.SetMovie(path); }

void SettingsDialog::OnCommand(UINT id, UINT code, HWND) {
  const DialogMode mode = model_.state().mode;
  switch (static_cast<ControlId>(id)) {
    case I::ModeMovie:
      if (code == BN_CLICKED && mode != DialogMode::Movie) SwitchMode(DialogMode::Movie);
      break;
    case I::ModePicture:
      if (code == BN_CLICKED && mode != DialogMode::Picture) SwitchMode(DialogMode::Picture);
      break;
    case I::SetPath:
      if (code == BN_CLICKED) OnSetPath();
      break;
    case I::DefaultMovie:
      if (code == BN_CLICKED) model_.CheckDefaultMovie();
      break;
    case I::Interactive:
      if (code == BN_CLICKED) model_.SetInteractive(IsChecked(Control(I::Interactive)));
      break;
    case I::LowQuality:
      if (code == BN_CLICKED) model_.SetLowQuality(IsChecked(Control(I::LowQuality)));
      break;
    case I::Random:
      if (code == BN_CLICKED) model_.SetRandom(IsChecked(Control(I::Random)));
      break;
    case I::Add:
      if (code == BN_CLICKED) OnAdd();
      break;
    case I::Files:
      if (code == LBN_SELCHANGE) OnFileSelected();
      break;
    case I::ImageList:
      if (code == LBN_SELCHANGE) OnListSelected();
      break;
    case I::Directories:
      if (code == LBN_DBLCLK) OnDirectoryOpened();
      break;
    case I::Drives:
      if (code == CBN_SELCHANGE) OnDriveChosen();
      break;
    case I::Ok:
      if (code == BN_CLICKED) OnOk();
      return;
    case I::Cancel:
      if (code == BN_CLICKED) Close();
      return;
    case I::About:
      if (code == BN_CLICKED) app_.ShowAbout();
      return;
    default:
      return;
  }
  if (IsOpen()) ShowState();
}

void SettingsDialog::OnSetPath() {
  const MovieChoice choice = chooser_(hwnd());
  if (choice.path) {
    model_.MovieChosen(U(*choice.path));
  } else if (choice.error.failed()) {
    app_.ShowError(ErrorMessageText(choice.error, 3));
  }
}

void SettingsDialog::OnOk() {
  const DialogWrite w = model_.OkWrite();
  if (!app_.Store().WriteSettings(w.movieOrPic, w.movieFile, w.interactive, w.writeDefault, w.pics,
                                  w.random, w.speed, w.quality)) {
    // The dialog stays open with every choice, so the user can try again.
    app_.ShowError(ErrorMessageText(app_.Store().LastWriteError(), 3));
    return;
  }
  Close();
}

void SettingsDialog::OnAdd() {
  HWND files = Control(I::Files);
  const int index = Selection(files);
  const std::string name = index < 0 ? std::string() : U(ListText(files, index));
  if (model_.AddPicture(U(folder_), name) == AddResult::ListFull) app_.ShowError(kListFullText);
}

void SettingsDialog::OnFileSelected() {
  HWND files = Control(I::Files);
  const int index = Selection(files);
  if (index < 0) return;
  RECT box;
  GetClientRect(browsePreview_.hwnd(), &box);
  // A file that is not a readable picture leaves the preview empty.
  PictureLoadResult loaded = LoadPictureFile(folder_ + L"\\" + ListText(files, index), [&](SIZE) {
    return SIZE{box.right, box.bottom};
  });
  if (loaded.picture) {
    browsePreview_.SetPicture(std::move(loaded.picture));
  } else {
    browsePreview_.Clear();
  }
}

void SettingsDialog::OnListSelected() {
  const int index = Selection(Control(I::ImageList));
  const std::vector<std::string>& paths = model_.state().paths;
  if (index < 0 || static_cast<size_t>(index) >= paths.size()) return;
  RECT box;
  GetClientRect(listPreview_.hwnd(), &box);
  PictureLoadResult loaded = LoadPictureFile(W(paths[static_cast<size_t>(index)]), [&](SIZE) {
    return SIZE{box.right, box.bottom};
  });
  if (loaded.picture) {
    listPreview_.SetPicture(std::move(loaded.picture));
  } else if (loaded.error.number == kErrDriveNotReady) {
    // A picture on a drive that is not there (a removable disk) leaves the list.
    OnListKeyUp(VK_DELETE);
  }
  // Any other failure keeps what the preview showed.
}

void SettingsDialog::OnListKeyUp(UINT key) {
  if (key == VK_DELETE && model_.DeletePicture(Selection(Control(I::ImageList)))) ShowImageList();
  listPreview_.Clear();
}

LRESULT CALLBACK SettingsDialog::ListKeyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR, DWORD_PTR self) {
  const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
  if (msg == WM_KEYUP) reinterpret_cast<SettingsDialog*>(self)->OnListKeyUp(wParam);
  return result;
}

void SettingsDialog::FillDrives() {
  HWND drives = Control(I::Drives);
  SendMessageW(drives, CB_RESETCONTENT, 0, 0);
  wchar_t roots[512] = {};
  const DWORD length = GetLogicalDriveStringsW(511, roots);
  for (const wchar_t* root = roots; length > 0 && length < 512 && *root; root += wcslen(root) + 1) {
    std::wstring text{static_cast<wchar_t>(towlower(root[0])), L':'};
    const UINT type = GetDriveTypeW(root);
    wchar_t label[MAX_PATH + 1] = {};
    // Only fixed disks are asked for their label: asking a removable drive
    // without a disk can take seconds.
    if ((type == DRIVE_FIXED || type == DRIVE_RAMDISK) &&
        GetVolumeInformationW(root, label, MAX_PATH, nullptr, nullptr, nullptr, nullptr, 0) &&
        label[0] != L'\0') {
      text += L" [" + std::wstring(label) + L"]";
    }
    SendMessageW(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

void SettingsDialog::OnDriveChosen() {
  HWND drives = Control(I::Drives);
  const int index = static_cast<int>(SendMessageW(drives, CB_GETCURSEL, 0, 0));
  if (index < 0) return;
  const LRESULT length = SendMessageW(drives, CB_GETLBTEXTLEN, index, 0);
  if (length < 2) return;
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(drives, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  // The drive's own current folder, as the system keeps one per drive.
  const std::wstring drive{text[0], L':'};
  wchar_t full[MAX_PATH + 1] = {};
  std::wstring folder = GetFullPathNameW(drive.c_str(), MAX_PATH, full, nullptr) > 0
                            ? std::wstring(full)
                            : drive + L"\\";
  if (!OpenFolder(folder)) OpenFolder(folder_);  // puts the list back on the folder shown
}

void SettingsDialog::OnDirectoryOpened() {
  const int index = Selection(Control(I::Directories));
  if (index < 0 || static_cast<size_t>(index) >= directories_.size()) return;
  const std::wstring folder = W(directories_[static_cast<size_t>(index)].path);
  if (!OpenFolder(folder)) OpenFolder(folder_);
}

bool SettingsDialog::OpenFolder(const std::wstring& folder) {
  std::wstring pattern = folder;
  if (pattern.empty() || pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  std::vector<std::string> subfolders, files;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND) {
      // A drive that is not ready, a folder that has gone: say so, keep the
      // lists as they were.
      app_.ShowError(ErrorMessageText(win32::ErrorFromWin32(code), 3));
      return false;
    }
  } else {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        subfolders.push_back(U(name));
      } else if (IsPictureFileName(U(name))) {
        files.push_back(U(name));
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  folder_ = folder;
  int current = 0;
  directories_ = DirectoryEntries(U(folder), std::move(subfolders), current);
  HWND dirs = Control(I::Directories);
  SendMessageW(dirs, WM_SETREDRAW, FALSE, 0);
  SendMessageW(dirs, LB_RESETCONTENT, 0, 0);
  for (const DirectoryEntry& entry : directories_)
    SendMessageW(dirs, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(entry.label).c_str()));
  SendMessageW(dirs, LB_SETCURSEL, current, 0);
  SendMessageW(dirs, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(dirs, nullptr, TRUE);
  SortNames(files);
  HWND fileList = Control(I::Files);
  SendMessageW(fileList, WM_SETREDRAW, FALSE, 0);
  SendMessageW(fileList, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : files)
    SendMessageW(fileList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(name).c_str()));
  SendMessageW(fileList, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(fileList, nullptr, TRUE);
  browsePreview_.Clear();
  // The drive list follows the folder.
  const std::string drive = DriveOf(U(folder));
  HWND drives = Control(I::Drives);
  const int count = static_cast<int>(SendMessageW(drives, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count && drive.size() == 2; ++i) {
    wchar_t text[64] = {};
    if (SendMessageW(drives, CB_GETLBTEXTLEN, i, 0) >= 63) continue;
    SendMessageW(drives, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    if (towlower(text[0]) == towlower(static_cast<wchar_t>(drive[0])))
      SendMessageW(drives, CB_SETCURSEL, i, 0);
  }
  return true;
}

void SettingsDialog::DrawDirectoryEntry(const DRAWITEMSTRUCT& item) {
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= directories_.size()) return;
  const DirectoryEntry& entry = directories_[item.itemID];
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  HDC dc = item.hDC;
  RECT row = item.rcItem;
  FillRect(dc, &row, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const int icon = GetSystemMetricsForDpi(SM_CXSMICON, dpi_);
  int x = row.left + 2 + entry.level * TwipsAt(kFolderIndentTwips, dpi_);
  const int iconTop = row.top + (row.bottom - row.top - icon) / 2;
  if (HICON glyph = entry.open ? folderOpen_ : folderClosed_) {
    DrawIconEx(dc, x, iconTop, glyph, icon, icon, 0, nullptr, DI_NORMAL);
  } else {
    DrawFolderGlyph(dc, RECT{x, iconTop, x + icon, iconTop + icon}, entry.open);
  }
  x += icon + 3;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  HGDIOBJ old = SelectObject(dc, dialogFont_.get());
  RECT text{x, row.top, row.right, row.bottom};
  const std::wstring label = W(entry.label);
  DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, old);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &row);
}

LRESULT SettingsDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == Control(I::Speed)) {
        model_.SetSpeed(static_cast<int>(SendMessageW(Control(I::Speed), TBM_GETPOS, 0, 0)));
        return 0;
      }
      break;
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      HDC dc = GetDC(hwnd());
      HGDIOBJ old = SelectObject(dc, dialogFont_.get());
      TEXTMETRICW metrics{};
      GetTextMetricsW(dc, &metrics);
      SelectObject(dc, old);
      ReleaseDC(hwnd(), dc);
      item->itemHeight = static_cast<UINT>(
          std::max<int>(metrics.tmHeight, GetSystemMetricsForDpi(SM_CYSMICON, dpi_)) + 1);
      return TRUE;
    }
    case WM_DRAWITEM:
      if (wParam == static_cast<WPARAM>(I::Directories)) {
        DrawDirectoryEntry(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      MakeFonts();
      for (const ControlRow& row : DialogControls()) {
        SendMessageW(Control(row.id), WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(row)), TRUE);
      }
      for (auto& [id, frame] : frames_) frame->SetFont(static_cast<HFONT>(dialogFont_.get()));
      MEASUREITEMSTRUCT item{};
      OnMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&item));
      SendMessageW(Control(I::Directories), LB_SETITEMHEIGHT, 0, item.itemHeight);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      PlaceControls();
      InvalidateRect(hwnd(), nullptr, TRUE);
      return 0;
    }
    default:
      break;
  }
  return SaverWindow::OnMessage(msg, wParam, lParam);
}

void SettingsDialog::OnUnload() {
  preview_.Close();
  // The preview's copies of the built-in movie go with the dialog.
  app_.TempFiles().DeleteTempFiles();
  if (folderClosed_) DestroyIcon(folderClosed_);
  if (folderOpen_) DestroyIcon(folderOpen_);
  folderClosed_ = folderOpen_ = nullptr;
}

}  // namespace orrivel
