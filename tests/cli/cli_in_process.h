#pragma once

// brevant-cli's commands in this process: its services are an in-memory
// segment, a fake adapter list, a store and result log in a scratch folder,
// and the simulator's devices on the far side of the segment. No root and no
// wire; the test bed tests keep the real-wire check.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "link/delivery.h"
#include "link/fake_adapters.h"
#include "link/memory_segment.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "support/simulated_devices.h"
#include "support/temp_dir.h"

namespace brevant::testing {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

// A folder laid out as the bundle is, and the services over it.
class CliInProcess {
 public:
  static constexpr const char* kAdapterName = "eth0";
  static constexpr MacAddress kAdapterMac = {0x02, 0x62, 0x62, 0x00, 0x00, 0xFE};

  CliInProcess() {
    for (const char* folder : {"IniTemplate", "ModifyExcel", "ModifyXml", "ModifyJson", "Log"})
      std::filesystem::create_directories(dir_ / folder);
    dir_.Write("IniTemplate/Config.ini", "");
    adapters_->entries = {Adapter(kAdapterName, kAdapterMac)};
    adapters_->captureDevices = {kAdapterName};
    adapters_->mtus = {{kAdapterName, 1500}};
    services_.directory = dir_.path();
    services_.adapters = adapters_;
    services_.store = [this]() -> CSqlManagement& {
      if (!store_)
        store_ = std::make_unique<CSqlManagement>(dir_ / "data.db");
      return *store_;
    };
    services_.link = [this]() -> AcTransmitManage& {
      if (!link_) {
        link_ = std::make_unique<AcTransmitManage>(services_.store(), adapters_,
                                                   segment_->Station(kAdapterName));
        link_->SetResultHandler(
            [this](const LinkFrame& frame) { HandleDeviceResult(frame, *store_, log_); });
      }
      return *link_;
    };
  }
  ~CliInProcess() {
    // No job may outlive the link and store it uses.
    StopDeliveryJobs();
    WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(10));
    devices_.reset();
    link_.reset();
  }

  // Devices from devsim plans ("mac=02:62:00:00:00:0A,report=fail"); what they
  // receive goes to Received().
  void Devices(const std::vector<std::string>& plans) {
    devices_ =
        std::make_unique<SimulatedDevices>(segment_, SimulatedDevices::Plans(plans), Received());
  }

  CliRun Run(const std::vector<std::string>& arguments) {
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = cli::RunCli(arguments, out, err, services_);
    run.out = out.str();
    run.err = err.str();
    return run;
  }

  const std::filesystem::path& Directory() const { return dir_.path(); }
  std::filesystem::path Received() const { return dir_ / "received"; }
  TempDir& Scratch() { return scratch_; }
  FakeAdapterSource& Adapters() { return *adapters_; }

 private:
  TempDir dir_;
  TempDir scratch_;
  std::shared_ptr<MemorySegment> segment_ = MemorySegment::Create();
  std::shared_ptr<FakeAdapterSource> adapters_ = std::make_shared<FakeAdapterSource>();
  ResultLog log_{dir_.path()};
  std::unique_ptr<CSqlManagement> store_;
  std::unique_ptr<AcTransmitManage> link_;
  std::unique_ptr<SimulatedDevices> devices_;
  cli::CliServices services_;
};

}  // namespace brevant::testing
