#include <windows.h>

#include <string>

#include "emulator/cli/device_host.h"
#include "emulator/kernel/velk_502_control.h"

namespace qx17_emu {

namespace {

std::string Failed(const std::string& what) {
  return what + " (error " + std::to_string(GetLastError()) + ")";
}

// velk_502.sys is expected next to this program.
std::string DriverImagePath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string image(path, length);
  image.erase(image.find_last_of("\\/") + 1);
  return "\\??\\" + image + "velk_502.sys";
}

class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

std::string StopDriver(SC_HANDLE manager) {
  ServiceHandle service(OpenServiceA(manager, VELK_502_SERVICE_NAME, SERVICE_STOP));
  if (service.get() == nullptr) return {};  // never installed: nothing runs
  SERVICE_STATUS status;
  if (!ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
      GetLastError() != ERROR_SERVICE_NOT_ACTIVE) {
    return Failed("cannot stop the driver service " VELK_502_SERVICE_NAME);
  }
  return {};
}

// Installs the driver service when it is missing and starts it. A start that fails is reported at
// once: a broken driver never comes up later.
std::string StartDriver(SC_HANDLE manager) {
  ServiceHandle service(OpenServiceA(manager, VELK_502_SERVICE_NAME, SERVICE_START));
  if (service.get() == nullptr) {
    std::string image = DriverImagePath();
    ServiceHandle created(CreateServiceA(manager, VELK_502_SERVICE_NAME, VELK_502_SERVICE_NAME,
                                         SERVICE_START, SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                         SERVICE_ERROR_NORMAL, image.c_str(), nullptr, nullptr,
                                         nullptr, nullptr, nullptr));
    if (created.get() == nullptr) return Failed("cannot install the driver service from " + image);
    if (!StartServiceA(created.get(), 0, nullptr)) {
      return Failed("cannot start the driver service " VELK_502_SERVICE_NAME);
    }
    return {};
  }
  if (!StartServiceA(service.get(), 0, nullptr) &&
      GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
    return Failed("cannot start the driver service " VELK_502_SERVICE_NAME);
  }
  return {};
}

std::string Control(DWORD code, velk_emu& state, bool toDriver) {
  HANDLE device = CreateFileA("\\\\.\\" VELK_502_SERVICE_NAME, GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (device == INVALID_HANDLE_VALUE) return Failed("cannot open the driver");
  DWORD returned = 0;
  BOOL ok =
      toDriver
          ? DeviceIoControl(device, code, &state, sizeof state, nullptr, 0, &returned, nullptr)
          : DeviceIoControl(device, code, nullptr, 0, &state, sizeof state, &returned, nullptr);
  std::string problem = ok ? "" : Failed("the driver refused its private control code");
  CloseHandle(device);
  return problem;
}

}  // namespace

std::string PrepareDriver(const velk_emu& state) {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (manager.get() == nullptr) return Failed("cannot reach the service manager");
  if (!state.present) return StopDriver(manager.get());
  std::string problem = StartDriver(manager.get());
  if (!problem.empty()) return problem;
  velk_emu copy = state;
  return Control(VELK_502_IOCTL_SET_STATE, copy, true);
}

std::string CollectDriver(velk_emu& state) {
  if (!state.present) return {};  // stopped for the run: the state stays as configured
  return Control(VELK_502_IOCTL_GET_STATE, state, false);
}

}  // namespace qx17_emu
