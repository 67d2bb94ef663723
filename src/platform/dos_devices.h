#pragma once
// DOS device names (drive letters) defined for the run.

#include <string>

namespace quenbolt {

class DosDevices {
 public:
  virtual ~DosDevices() = default;
  // DefineDosDeviceA(DDD_RAW_TARGET_PATH, name, target), for example "F:" and
  // "\Device\Harddisk0\Partition3". False when the system refuses.
  virtual bool defineRawTarget(const std::string& name, const std::string& target) = 0;
  // DefineDosDeviceA(DDD_REMOVE_DEFINITION, name, no target). False when the system refuses.
  virtual bool removeDefinition(const std::string& name) = 0;
};

}  // namespace quenbolt
