#pragma once

// brevant-cli's commands in this process: its services are an in-memory
// segment, a fake adapter list, a store and result log in a scratch folder,
// and the simulator's devices on the far side of the segment. No root and no
// wire; the test bed tests keep the real-wire check.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_app.h"
#include "device_plan.h"
#include "link/delivery.h"
#include "link/fake_adapters.h"
#include "link/memory_segment.h"
#include "link/result_log.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "simulator.h"
#include "support/temp_dir.h"

namespace brevant::testing {

// The simulator's devices answering on station "dev0" of the segment.
class SimulatedDevices {
 public:
  SimulatedDevices(const std::shared_ptr<MemorySegment>& segment,
                   std::vector<devsim::DevicePlan> plans, std::filesystem::path out) {
    CaptureOptions options;
    options.filter = "ether proto 0x6262";
    std::string error;
    endpoint_ = segment->Station("dev0")->Open("dev0", options, &error);
    EXPECT_TRUE(endpoint_) << error;
    if (!endpoint_)
      return;
    simulator_ = std::make_unique<devsim::Simulator>(
        std::move(plans), [this](const LinkFrame& frame) { return endpoint_->Send(frame); },
        std::move(out));
    thread_ = std::thread([this] { Loop(); });
  }
  ~SimulatedDevices() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }

 private:
  void Loop() {
    using Clock = devsim::Simulator::Clock;
    LinkFrame frame;
    while (!stop_) {
      const auto next = simulator_->SendDue(Clock::now());
      auto deadline = Clock::now() + std::chrono::milliseconds(20);
      if (next && *next < deadline)
        deadline = *next;
      endpoint_->WaitReadable(deadline);
      std::size_t length = 0;
      while (endpoint_->Read(frame, &length) == ReadStatus::Frame)
        simulator_->OnFrame(frame, length, Clock::now());
    }
  }

  std::unique_ptr<CaptureEndpoint> endpoint_;
  std::unique_ptr<devsim::Simulator> simulator_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

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
    std::vector<devsim::DevicePlan> parsed;
    for (const auto& text : plans) {
      std::string error;
      auto plan = devsim::ParseDevicePlan(text, &error);
      EXPECT_TRUE(plan) << error;
      if (plan)
        parsed.push_back(*plan);
    }
    devices_ = std::make_unique<SimulatedDevices>(segment_, std::move(parsed), Received());
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
