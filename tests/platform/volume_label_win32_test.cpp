// Labels through the real Win32 platform under a Western ANSI code page, where the ANSI volume
// functions would turn GBK bytes into other characters. Runs when QUENBOLT_WINE_LABEL_TEST is set
// (tests/platform/wine_disk_check.sh sets it and runs the process with code page 1252; Wine keeps
// the label of C: in drive_c/.windows-label, as UTF-8: "卷标" before the run, "数据" after it).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/win32/win32_platform.h"

namespace quenbolt {
namespace {

TEST(VolumeLabelWin32Test, ChineseLabelsAreReadAndSetWholeUnderCodePage1252) {
  if (!std::getenv("QUENBOLT_WINE_LABEL_TEST")) GTEST_SKIP() << "QUENBOLT_WINE_LABEL_TEST is not set";
  ASSERT_EQ(GetACP(), 1252u) << "the check means something only where the ANSI functions use 1252";
  Win32Platform win32;
  Platform platform = win32.platform();
  const std::optional<VolumeInformation> read = platform.volumes.volumeInformation("C:\\");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->label, "卷标");
  EXPECT_FALSE(platform.volumes.setVolumeLabel("C:\\", "DATA\xB5")) << "no GBK text: it would reach the volume changed";
  EXPECT_TRUE(platform.volumes.setVolumeLabel("C:\\", "数据"));
}

}  // namespace
}  // namespace quenbolt
