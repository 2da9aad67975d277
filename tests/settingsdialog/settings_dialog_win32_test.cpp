// The settings dialog and the About box on real windows: opened from the
// settings file as the start-up opens them, driven through their controls,
// and checked by the file "&Ok" writes.
#include "settingsdialog/settings_dialog_win32.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>

#include "../startup/win32_test_support.h"
#include "settingsdialog/about_box_win32.h"

namespace orrivel {
namespace {

using testing::Pump;
using testing::PumpUntil;
using I = ControlId;

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::wstring& path, const std::string& text) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
}

std::string ReadText(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A 4x4 BMP, enough for the previews.
std::string SmallBmp() {
  std::string bmp = "BM";
  auto u32 = [&](uint32_t v) { bmp.append(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { bmp.append(reinterpret_cast<const char*>(&v), 2); };
  u32(54 + 64), u32(0), u32(54), u32(40), u32(4), u32(4), u16(1), u16(32), u32(0), u32(64);
  u32(2835), u32(2835), u32(0), u32(0);
  bmp.append(64, '\x7f');
  return bmp;
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void Open(const std::string& settings) {
    WriteText(app.SettingsFile(), settings);
    app->SetMovieChooser([this](HWND) { return choice; });
    app->Main();
    dialog = app->Dialog();
    ASSERT_TRUE(dialog != nullptr && dialog->IsOpen());
  }
  HWND C(ControlId id) { return dialog->Control(id); }
  void Click(ControlId id) { SendMessageW(C(id), BM_CLICK, 0, 0); }
  LRESULT Check(ControlId id) { return SendMessageW(C(id), BM_GETCHECK, 0, 0); }
  void Select(ControlId list, int index) {
    SendMessageW(C(list), LB_SETCURSEL, index, 0);
    SendMessageW(GetParent(C(list)), WM_COMMAND, MAKEWPARAM(static_cast<int>(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(C(list)));
  }
  int Count(ControlId list) { return static_cast<int>(SendMessageW(C(list), LB_GETCOUNT, 0, 0)); }
  void KeyUp(ControlId id, UINT key) { SendMessageW(C(id), WM_KEYUP, key, 0); }
  void Slide(int seconds) {
    SendMessageW(C(I::Speed), TBM_SETPOS, TRUE, seconds);
    SendMessageW(GetParent(C(I::Speed)), WM_HSCROLL, TB_ENDTRACK,
                 reinterpret_cast<LPARAM>(C(I::Speed)));
  }
  // The window's outer size against the layout's twips at its DPI.
  void ExpectOuterSize(int widthTwips, int heightTwips) {
    RECT r{};
    GetWindowRect(dialog->hwnd(), &r);
    const UINT dpi = GetDpiForWindow(dialog->hwnd());
    EXPECT_EQ(r.right - r.left, TwipsAt(widthTwips, dpi));
    EXPECT_EQ(r.bottom - r.top, TwipsAt(heightTwips, dpi));
  }
  // A folder of pictures the browser opens.
  std::wstring PictureFolder() {
    const std::wstring folder = app.folder().Sub(L"pics");
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* name : {L"a.bmp", L"b.bmp", L"c.bmp"})
      WriteText(folder + L"\\" + name, SmallBmp());
    WriteText(folder + L"\\broken.jpg", "not a picture");
    WriteText(folder + L"\\notes.txt", "not listed");
    return folder;
  }

  testing::TestApp app{"/c", L"dialog"};
  SettingsDialog* dialog = nullptr;
  MovieChoice choice;
};

TEST_F(SettingsDialogTest, OpensInTheStoredMovieModeWithTheBuiltInMoviePlaying) {
  Open("MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\nINTERACTIVE = TRUE\r\nQUALITY = LOW\r\n");
  EXPECT_EQ(dialog->Title(), L"Orrivel Settings");
  ExpectOuterSize(5615, 4090);
  EXPECT_EQ(Check(I::ModeMovie), BST_CHECKED);
  EXPECT_EQ(Check(I::DefaultMovie), BST_INDETERMINATE);
  EXPECT_FALSE(IsWindowEnabled(C(I::DefaultMovie)));
  EXPECT_TRUE(IsWindowVisible(C(I::PathText)));
  EXPECT_FALSE(IsWindowVisible(C(I::ImageList)));
  EXPECT_EQ(Check(I::Interactive), BST_CHECKED);
  EXPECT_EQ(Check(I::LowQuality), BST_CHECKED);
  EXPECT_TRUE(PumpUntil([&] { return dialog->Preview().FrameNum() > 2; }, 5000));
  const std::vector<std::string> copies = app->TempFiles().Files();
  ASSERT_EQ(copies.size(), 2u);
  Click(I::Cancel);
  EXPECT_FALSE(dialog->IsOpen());
  for (const std::string& copy : copies) EXPECT_FALSE(Exists(win32::Utf8ToWide(copy))) << copy;
  EXPECT_EQ(ReadText(app.SettingsFile()),
            "MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\nINTERACTIVE = TRUE\r\nQUALITY = LOW\r\n");
}

TEST_F(SettingsDialogTest, MovieOptionsReachTheFile) {
  Open("MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n");
  // Cancelling the file dialog keeps the built-in movie.
  Click(I::SetPath);
  EXPECT_EQ(Check(I::DefaultMovie), BST_INDETERMINATE);
  choice.path = L"D:\\movies\\snow.swf";
  Click(I::SetPath);
  EXPECT_EQ(Check(I::DefaultMovie), BST_UNCHECKED);
  EXPECT_TRUE(IsWindowEnabled(C(I::DefaultMovie)));
  EXPECT_EQ(win32::WideToUtf8(std::wstring(L"D:\\movies\\snow.swf")),
            dialog->Model().state().pathText);
  choice.path.reset();
  choice.error = {1234, "no dialog"};
  Click(I::SetPath);
  EXPECT_EQ(app.messages.shown, std::vector<std::string>{"1234   no dialog"});
  Click(I::Interactive);
  Click(I::LowQuality);
  Click(I::Ok);
  EXPECT_FALSE(dialog->IsOpen());
  EXPECT_EQ(ReadText(app.SettingsFile()),
            "MOVIEORPIC = MOVIE\r\nSWFMOVIE = D:\\movies\\snow.swf\r\nINTERACTIVE = TRUE\r\n"
            "QUALITY = LOW\r\n");
}

TEST_F(SettingsDialogTest, ImageListEditorBuildsThePictureList) {
  Open("MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n");
  Click(I::ModePicture);
  ExpectOuterSize(7415, 5530);
  EXPECT_FALSE(IsWindowVisible(C(I::PathText)));
  EXPECT_TRUE(IsWindowVisible(C(I::ImageList)));
  EXPECT_EQ(SendMessageW(C(I::Speed), TBM_GETPOS, 0, 0), 5);
  const std::wstring folder = PictureFolder();
  ASSERT_TRUE(dialog->OpenFolder(folder));
  ASSERT_EQ(Count(I::Files), 4);  // a, b, broken, c: the text file is not listed
  Click(I::Add);                  // nothing selected: nothing added
  EXPECT_EQ(Count(I::ImageList), 0);
  Select(I::Files, 2);  // broken.jpg: an empty preview, no message
  EXPECT_FALSE(dialog->BrowsePreviewShown());
  for (int file : {0, 0, 1, 3}) {
    Select(I::Files, file);
    EXPECT_TRUE(dialog->BrowsePreviewShown());
    Click(I::Add);
  }
  ASSERT_EQ(Count(I::ImageList), 3);  // a.bmp once
  Select(I::ImageList, 0);
  EXPECT_TRUE(dialog->ListPreviewShown());
  KeyUp(I::ImageList, VK_DOWN);  // any key release clears the list preview
  EXPECT_FALSE(dialog->ListPreviewShown());
  EXPECT_EQ(Count(I::ImageList), 3);
  Select(I::ImageList, 0);
  KeyUp(I::ImageList, VK_DELETE);
  EXPECT_EQ(Count(I::ImageList), 2);
  EXPECT_EQ(SendMessageW(C(I::ImageList), LB_GETCURSEL, 0, 0), LB_ERR);
  Slide(15);
  Click(I::Random);
  Click(I::Ok);
  const std::string path = win32::WideToUtf8(folder);
  EXPECT_EQ(ReadText(app.SettingsFile()), "MOVIEORPIC = PIC\r\nPICS = " + path + "\\b.bmp;" + path +
                                              "\\c.bmp;\r\nRANDOM = RANDOM\r\nSPEED = 15\r\n");
  EXPECT_TRUE(app.messages.shown.empty());
}

TEST_F(SettingsDialogTest, HandEditedPictureSettingsOpenWithoutFault) {
  // A list entry without a backslash, an empty entry, a speed out of range.
  Open(
      "MOVIEORPIC = PIC\r\nPICS = nobackslash.jpg;;C:\\gone\\x.jpg;\r\nSPEED = 99\r\n"
      "RANDOM = RANDOM\r\n");
  ExpectOuterSize(7415, 5530);
  EXPECT_EQ(Check(I::ModePicture), BST_CHECKED);
  EXPECT_EQ(SendMessageW(C(I::Speed), TBM_GETPOS, 0, 0), 15);
  EXPECT_EQ(Check(I::Random), BST_CHECKED);
  EXPECT_EQ(Count(I::ImageList), 3);
  Select(I::ImageList, 2);  // a missing file: the preview stays empty, the entry stays
  EXPECT_FALSE(dialog->ListPreviewShown());
  EXPECT_EQ(Count(I::ImageList), 3);
  // A folder that has gone: a message, and the browser stays where it was.
  const std::wstring before = dialog->BrowseFolder();
  EXPECT_FALSE(dialog->OpenFolder(app.folder().Sub(L"vanished")));
  EXPECT_EQ(dialog->BrowseFolder(), before);
  EXPECT_EQ(app.messages.shown.size(), 1u);
  Click(I::Ok);
  EXPECT_EQ(ReadText(app.SettingsFile()),
            "MOVIEORPIC = PIC\r\nPICS = nobackslash.jpg;;C:\\gone\\x.jpg;\r\nRANDOM = RANDOM\r\n"
            "SPEED = 15\r\n");
}

TEST_F(SettingsDialogTest, OkThatCannotWriteKeepsTheDialogOpen) {
  Open("MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n");
  Click(I::Interactive);
  // The settings file's name now belongs to a folder: nothing can replace it.
  DeleteFileW(app.SettingsFile().c_str());
  ASSERT_TRUE(CreateDirectoryW(app.SettingsFile().c_str(), nullptr));
  Click(I::Ok);
  EXPECT_TRUE(dialog->IsOpen());
  EXPECT_EQ(app.messages.shown.size(), 1u);
  EXPECT_EQ(Check(I::Interactive), BST_CHECKED);
  RemoveDirectoryW(app.SettingsFile().c_str());
  Click(I::Ok);
  EXPECT_FALSE(dialog->IsOpen());
  EXPECT_NE(ReadText(app.SettingsFile()).find("INTERACTIVE = TRUE"), std::string::npos);
}

TEST_F(SettingsDialogTest, FollowsAMoveToAMonitorWithAnotherDpi) {
  Open("MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n");
  RECT before{}, button{};
  GetWindowRect(dialog->hwnd(), &before);
  RECT suggested{before.left, before.top, before.left + 10, before.top + 10};
  SendMessageW(dialog->hwnd(), WM_DPICHANGED, MAKEWPARAM(192, 192),
               reinterpret_cast<LPARAM>(&suggested));
  RECT after{};
  GetWindowRect(dialog->hwnd(), &after);
  EXPECT_EQ(after.right - after.left, TwipsAt(5615, 192));
  EXPECT_EQ(after.bottom - after.top, TwipsAt(4090, 192));
  GetWindowRect(C(I::SetPath), &button);
  EXPECT_EQ(button.right - button.left, TwipsAt(975, 192));
  EXPECT_EQ(button.bottom - button.top, TwipsAt(285, 192));
}

TEST_F(SettingsDialogTest, AboutBoxCountsRightPressesAcrossOpenings) {
  Open("MOVIEORPIC = MOVIE\r\nSWFMOVIE = DEFAULT\r\n");
  Click(I::About);
  Click(I::About);  // the same box, brought forward
  AboutBox* about = app->About();
  ASSERT_TRUE(about != nullptr && about->IsOpen());
  EXPECT_EQ(about->Title(), L"About Orrivel v.1.2.1");
  RECT client{};
  GetClientRect(about->hwnd(), &client);
  const UINT dpi = GetDpiForWindow(about->hwnd());
  EXPECT_EQ(client.right, TwipsAt(4575, dpi));
  EXPECT_EQ(client.bottom, TwipsAt(3405, dpi));
  auto press = [&](UINT msg) { SendMessageW(about->hwnd(), msg, 0, MAKELPARAM(2, 2)); };
  press(WM_RBUTTONDOWN);
  press(WM_RBUTTONDOWN);
  Click(I::Cancel);  // the settings dialog closes; the About box stays
  EXPECT_TRUE(about->IsOpen());
  SendMessageW(about->hwnd(), WM_CLOSE, 0, 0);
  app->ShowAbout();
  for (int i = 0; i < 2; ++i) press(WM_RBUTTONDOWN);
  press(WM_LBUTTONDOWN);
  EXPECT_FALSE(about->PictureShown());
  press(WM_RBUTTONDOWN);
  EXPECT_EQ(about->RightClickCount(), 5);
  EXPECT_TRUE(about->PictureShown());
  SendMessageW(about->hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_FALSE(about->IsOpen());
  app->ShowAbout();
  EXPECT_FALSE(about->PictureShown());
  press(WM_MBUTTONDOWN);  // any press shows it once the count is past four
  EXPECT_TRUE(about->PictureShown());
  EXPECT_TRUE(app->AnyWindowOpen());
  SendMessageW(about->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(app->AnyWindowOpen());
}

}  // namespace
}  // namespace orrivel
