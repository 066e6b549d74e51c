// The device simulator's parts that need no wire.

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "device_plan.h"
#include "simulator.h"

namespace brevant::devsim {
namespace {

using std::chrono::milliseconds;
using Clock = Simulator::Clock;

const MacAddress kAdapter = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

TEST(DevicePlan, ParsesKeysEscapesAndRepeatedNames) {
  std::string error;
  const auto plan = ParseDevicePlan(
      "mac=02:62:00:00:00:09,ssid2=Home\\, sweet \\\\ home,key2=\\x41\\x00B,delay=300,repeat=2,"
      "again-ssid2=Other,skip=1,opcode=5,answer=no,result-delay=40,hold=yes",
      &error);
  ASSERT_TRUE(plan) << error;
  EXPECT_EQ(plan->mac, (MacAddress{0x02, 0x62, 0, 0, 0, 0x09}));
  EXPECT_EQ(plan->texts.ssid2, "Home, sweet \\ home");
  EXPECT_EQ(plan->texts.key2, std::string("A\0B", 3));
  EXPECT_EQ(plan->delay, milliseconds(300));
  EXPECT_EQ(plan->repeat, 2);
  EXPECT_EQ(plan->AgainTexts().ssid2, "Other");
  EXPECT_EQ(plan->AgainTexts().key2, plan->texts.key2) << "fields not given again repeat";
  EXPECT_EQ(plan->skipRequests, 1u);
  EXPECT_EQ(plan->answerOpcode, 5);
  EXPECT_FALSE(plan->answers);
  EXPECT_EQ(plan->faults.resultDelay, milliseconds(40));
  EXPECT_TRUE(plan->faults.holdResult);
}

TEST(DevicePlan, RefusesWhatItCannotMean) {
  const std::pair<const char*, const char*> cases[] = {
      {"ssid2=x", "a device needs mac="},
      {"mac=02:62:00:00:00", "bad value for mac"},
      {"mac=02:62:00:00:00:01,colour=red", "unknown key \"colour\""},
      {"mac=02:62:00:00:00:01,delay=-1", "bad value for delay"},
      {"mac=02:62:00:00:00:01,repeat=0", "bad value for repeat"},
      {"mac=02:62:00:00:00:01,ssid2", "is not key=value"},
      {"mac=02:62:00:00:00:01,ssid2=a\\q", "unknown escape"},
      {"mac=02:62:00:00:00:01,fill=some", "bad value for fill"},
      {"mac=02:62:00:00:00:01,hold=maybe", "bad value for hold"},
  };
  for (const auto& [text, why] : cases) {
    std::string error;
    EXPECT_FALSE(ParseDevicePlan(text, &error)) << text;
    EXPECT_NE(error.find(why), std::string::npos) << text << ": " << error;
  }
  std::vector<DevicePlan> devices;
  std::string error;
  EXPECT_FALSE(
      ParseDeviceFile("# two devices\nmac=02:00:00:00:00:01\n\n  nonsense\n", devices, &error));
  EXPECT_EQ(error.rfind("line 4: ", 0), 0u) << error;
}

TEST(DevicePlan, PopulationsCountMacsUpAndFillTheirFields) {
  Population population;
  population.count = 3;
  population.macBase = {0x02, 0x62, 0x00, 0x00, 0x00, 0xFF};
  population.delay = milliseconds(10);
  population.spread = milliseconds(100);
  population.fill = Fill::Nul;
  const auto devices = MakePopulation(population);
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[1].mac, (MacAddress{0x02, 0x62, 0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(devices[2].texts.ssid2, "Brevant-3-2G" + std::string(21, '#'));
  EXPECT_EQ(devices[2].texts.key5.size(), 65u);
  EXPECT_EQ(devices[2].texts.key5.substr(0, 17), "key5-026200000101");
  EXPECT_EQ(devices[0].delay, milliseconds(10));
  EXPECT_EQ(devices[2].delay, milliseconds(110));
  EXPECT_EQ(MacPlus({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1), MacAddress{});
}

class SimulatorTest : public ::testing::Test {
 protected:
  std::unique_ptr<Simulator> Make(std::vector<DevicePlan> devices) {
    return std::make_unique<Simulator>(std::move(devices), [this](const LinkFrame& frame) {
      sent_.push_back(frame);
      return true;
    });
  }
  static DevicePlan Device(std::uint8_t last) {
    DevicePlan plan;
    plan.mac = {0x02, 0x62, 0, 0, 0, last};
    plan.texts = {"s2-" + std::to_string(last), "s5", "k2", "k5"};
    return plan;
  }
  std::vector<LinkFrame> sent_;
};

TEST_F(SimulatorTest, EveryDeviceAnswersABroadcastToItsSender) {
  auto sim = Make({Device(1), Device(2), Device(3)});
  const auto now = Clock::now();
  sim->OnFrame(MakeDiscoveryRequest(kAdapter), kFrameSize, now);
  ASSERT_EQ(sent_.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(sent_[i],
              MakeDiscoveryResponse(kAdapter, Device(static_cast<std::uint8_t>(i + 1)).mac,
                                    Device(static_cast<std::uint8_t>(i + 1)).texts));
  }
  EXPECT_EQ(sim->Stats().discoveryRequests, 1u);
  EXPECT_EQ(sim->Stats().answersSent, 3u);
  EXPECT_FALSE(sim->SendDue(now));
}

TEST_F(SimulatorTest, DelaysRepeatsSkipsAndSilenceShapeTheAnswers) {
  DevicePlan late = Device(1);
  late.delay = milliseconds(500);
  DevicePlan twice = Device(2);
  twice.repeat = 2;
  twice.repeatGap = milliseconds(20);
  DevicePlan skipper = Device(3);
  skipper.skipRequests = 1;
  DevicePlan silent = Device(4);
  silent.answers = false;
  auto sim = Make({late, twice, skipper, silent});

  const auto start = Clock::now();
  sim->OnFrame(MakeDiscoveryRequest(kAdapter), kFrameSize, start);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(ReadDiscoveryTexts(sent_[0]).ssid2, "s2-2");
  EXPECT_EQ(sim->SendDue(start), start + milliseconds(20));
  EXPECT_EQ(sim->SendDue(start + milliseconds(20)), start + milliseconds(500));
  ASSERT_EQ(sent_.size(), 2u);
  EXPECT_EQ(ReadDiscoveryTexts(sent_[1]).ssid2, "s2-2-again");
  EXPECT_FALSE(sim->SendDue(start + milliseconds(500)));
  ASSERT_EQ(sent_.size(), 3u);
  EXPECT_EQ(sent_[2].source(), late.mac);

  sent_.clear();
  sim->OnFrame(MakeDiscoveryRequest(kAdapter), kFrameSize, start + milliseconds(600));
  sim->SendDue(start + std::chrono::seconds(5));
  std::vector<MacAddress> from;
  for (const auto& frame : sent_)
    from.push_back(frame.source());
  EXPECT_EQ(from, (std::vector<MacAddress>{twice.mac, skipper.mac, twice.mac, late.mac}));
}

TEST_F(SimulatorTest, AHeldResultWaitsForTheReleaseAndStillKeepsItsDelay) {
  DevicePlan holder = Device(1);
  holder.faults.holdResult = true;
  holder.faults.resultDelay = milliseconds(300);
  auto sim = Make({holder});
  const auto chunk = [&](std::uint8_t byte) {
    const std::uint8_t data[] = {byte};
    return MakeDataChunk(MakeTransferTemplate(holder.mac, kAdapter, PARA_DATA, OP_PARA_CHUNK, 1), 1,
                         CHUNK_LAST, data);
  };
  const auto start = Clock::now();
  sim->OnFrame(chunk('x'), kFrameSize, start);
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].opcode(), OP_ACK);
  EXPECT_EQ(sim->Held(), 1u);
  EXPECT_FALSE(sim->SendDue(start + std::chrono::hours(1))) << "time alone releases nothing";

  // Released before its delay is over: it goes out when the delay is.
  EXPECT_EQ(sim->ReleaseHeld(start + milliseconds(100)), 1u);
  EXPECT_EQ(sim->Held(), 0u);
  EXPECT_EQ(sim->SendDue(start + milliseconds(100)), start + milliseconds(300));
  EXPECT_FALSE(sim->SendDue(start + milliseconds(300)));
  ASSERT_EQ(sent_.size(), 2u);
  EXPECT_EQ(sent_[1].opcode(), OP_PARA_OK);

  // The next result is held again; released after its delay, it goes out at once.
  sim->OnFrame(chunk('y'), kFrameSize, start + std::chrono::seconds(10));
  EXPECT_EQ(sent_.size(), 3u);
  EXPECT_EQ(sim->Held(), 1u);
  EXPECT_EQ(sim->ReleaseHeld(start + std::chrono::seconds(11)), 1u);
  EXPECT_FALSE(sim->SendDue(start + std::chrono::seconds(11)));
  ASSERT_EQ(sent_.size(), 4u);
  EXPECT_EQ(sent_[3].opcode(), OP_PARA_OK);
  EXPECT_EQ(sim->ReleaseHeld(start + std::chrono::seconds(12)), 0u);
}

TEST_F(SimulatorTest, FramesForNoSimulatedDeviceAreCountedAndIgnored) {
  auto sim = Make({Device(1)});
  LinkFrame toOther =
      MakeTransferTemplate({0x02, 0x62, 0, 0, 0, 9}, kAdapter, PARA_DATA, OP_PARA_CHUNK, 1);
  LinkFrame wrongOpcode = MakeDiscoveryRequest(kAdapter);
  wrongOpcode.setOpcode(OP_ACK);
  sim->OnFrame(toOther, kFrameSize, Clock::now());
  sim->OnFrame(wrongOpcode, kFrameSize, Clock::now());
  EXPECT_TRUE(sent_.empty());
  EXPECT_EQ(sim->Stats().ignored, 2u);
}

}  // namespace
}  // namespace brevant::devsim
