#pragma once
// The real platform: each interface of src/platform implemented with the Win32 calls behind it.
// Only src/platform/win32 and src/app/win32 include this header.

#include <windows.h>

#include <functional>
#include <string>

#include "platform/platform.h"

namespace quenbolt {

class Win32RawDisks : public RawDisks {
 public:
  // CreateFileA("\\.\PHYSICALDRIVE<index>", GENERIC_READ [| GENERIC_WRITE], share read|write,
  // OPEN_EXISTING).
  std::unique_ptr<DiskHandle> openDisk(unsigned index, DiskAccess access) override;
  // The same for "\\.\<letter>:".
  std::unique_ptr<DiskHandle> openVolume(char letter, DiskAccess access) override;
  bool updateDiskProperties(unsigned index) override;
};

class Win32Registry : public Registry {
 public:
  std::optional<std::uint32_t> readDword(const std::string& key, const std::string& name) override;
  std::optional<std::string> readString(const std::string& key, const std::string& name) override;
};

// Labels go through GetVolumeInformationW and SetVolumeLabelW, converted with code page 936: the
// ANSI functions would convert them in the system's ANSI code page, which is 936 only on a
// Chinese Windows.
class Win32Volumes : public Volumes {
 public:
  unsigned driveType(const std::string& rootPath) override;
  VolumeExtent queryVolumeExtent(char letter) override;
  std::optional<VolumeInformation> volumeInformation(const std::string& rootPath) override;
  bool hasDiskFreeSpaceEx() override;
  std::optional<std::uint64_t> diskFreeSpaceEx(const std::string& path) override;
  std::optional<ClusterFreeSpace> diskFreeSpace(const std::string& path) override;
  SetLabelOutcome setVolumeLabel(const std::string& rootPath, const std::string& label) override;
  OemLabel oemLabel(const std::string& rootPath) override;
  std::uint32_t logicalDrives() override;
};

class Win32DosDevices : public DosDevices {
 public:
  bool defineRawTarget(const std::string& name, const std::string& target) override;
  bool removeDefinition(const std::string& name) override;
};

class Win32SystemInfo : public SystemInfo {
 public:
  std::uint32_t getVersion() override;
  std::optional<OsVersion> getVersionEx() override;
  unsigned oemCodePage() override;
};

// Needs the main window once it exists; until then message boxes have no owner, close requests
// go nowhere and status texts are dropped.
class Win32UiServices : public UiServices {
 public:
  void setWindow(HWND window) { window_ = window; }
  // The app layer puts status texts into its status bar.
  void setStatusSink(std::function<void(const std::string&)> sink) {
    statusSink_ = std::move(sink);
  }
  // The cursor last asked for, so that the window's WM_SETCURSOR can keep it while the mouse moves.
  Cursor currentCursor() const { return cursor_; }
  static HCURSOR cursorHandle(Cursor cursor);

  void setCursor(Cursor cursor) override;
  void setStatusText(const std::string& text) override;
  void requestClose() override;
  void messageBox(const std::string& text, const std::string& caption, unsigned style) override;
  void shellOpen(const std::string& file) override;

 private:
  HWND window_ = nullptr;
  std::function<void(const std::string&)> statusSink_;
  Cursor cursor_ = Cursor::Arrow;
};

class Win32Platform {
 public:
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Platform platform() { return Platform{disks_, registry_, volumes_, dosDevices_, system_, ui_}; }
  Win32UiServices& ui() { return ui_; }

 private:
  Win32RawDisks disks_;
  Win32Registry registry_;
  Win32Volumes volumes_;
  Win32DosDevices dosDevices_;
  Win32SystemInfo system_;
  Win32UiServices ui_;
};

}  // namespace quenbolt
