// The real Win32 platform under Wine, where only it can be met: text the user gives reaches GBK
// exactly or marked, and the ANSI volume calls under another code page. (Raw disks, the registry
// and defined names are met by the end-to-end cases, through the program.) VolumeLabelWin32Test
// runs when QUENBOLT_WINE_LABEL_TEST is set (tests/e2e/label_calls_under_wine.sh), in code page
// 1252, where the ANSI volume calls would change GBK bytes: Wine keeps the label of C: in
// drive_c/.windows-label as UTF-8, "卷标" before, "数据" after.

#include <windows.h>
#include <gtest/gtest.h>
#include <cstdlib>
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_platform.h"

namespace quenbolt {
namespace {
// Text the user gives reaches GBK exactly or marked: a Hangul syllable, a character outside the
// basic plane (one mark for its two UTF-16 units) and one a best fit would turn into "A".
TEST(WideTextWin32Test, CharactersGbkCannotHoldAreMarkedAndNeverBestFitted) {
  EXPECT_EQ(win32::narrowMarking(L"a\u6570\uD55C\U0001F600\u00C0?"), "a数\xFF\xFF\xFF?");
  EXPECT_EQ(win32::narrowExactly(L"DATA", 437), std::optional<std::string>("DATA"));
  EXPECT_EQ(win32::narrowExactly(L"\u6570\u636E", 437), std::nullopt);
  EXPECT_EQ(win32::narrowExactly(L"\u6570\u636E", 936), std::optional<std::string>("数据"));
}

TEST(VolumeLabelWin32Test, ChineseLabelsAreReadAndSetWholeUnderCodePage1252) {
  if (!std::getenv("QUENBOLT_WINE_LABEL_TEST"))
    GTEST_SKIP() << "QUENBOLT_WINE_LABEL_TEST is not set";
  ASSERT_EQ(GetACP(), 1252u) << "the check means something only where the ANSI functions use 1252";
  Win32Platform win32;
  Platform platform = win32.platform();
  EXPECT_EQ(platform.volumes.volumeInformation("C:\\").value_or(VolumeInformation{}).label, "卷标");
  EXPECT_EQ(platform.volumes.setVolumeLabel("C:\\", "DATA\xB5"), SetLabelOutcome::Refused)
      << "no GBK text: it would reach the volume changed";
  EXPECT_EQ(platform.volumes.setVolumeLabel("C:\\", "数据"), SetLabelOutcome::Set);
}
}  // namespace
}  // namespace quenbolt
