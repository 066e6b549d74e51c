#include "link/adapters.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "fake_adapters.h"
#include "link/memory_segment.h"
#include "link/transmit_manage.h"
#include "records/status_store.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace brevant {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A sysfs net folder as the kernel lays it out: each interface a symlink into
// the device tree, hardware behind a "device" link with its driver.
class FakeSysfs {
 public:
  struct Interface {
    std::string name = "";
    int type = 1;
    std::string flags = "0x1003";
    std::string address = "00:1a:2b:3c:4d:5e";
    int ifindex = 2;
    enum Hardware { Pci, Usb, Virtual, None } hardware = Pci;
    std::string driver = "e1000e";
    std::string product = "";
    std::string manufacturer = "";
  };

  fs::path root() const { return dir_ / "class/net"; }

  void Add(const Interface& i) {
    const fs::path devices = dir_ / "devices";
    fs::path deviceDir;
    fs::path interfaceDir;
    switch (i.hardware) {
      case Interface::Pci:
        deviceDir = devices / "pci0000:00" / ("0000:00:" + std::to_string(i.ifindex) + ".0");
        interfaceDir = deviceDir / "net" / i.name;
        break;
      case Interface::Usb:
        deviceDir = devices / "usb1/1-2" / "1-2:1.0";
        interfaceDir = deviceDir / "net" / i.name;
        break;
      case Interface::Virtual:
      case Interface::None:
        interfaceDir =
            devices / (i.hardware == Interface::Virtual ? "virtual" : "other") / "net" / i.name;
        break;
    }
    fs::create_directories(interfaceDir);
    Write(interfaceDir / "type", std::to_string(i.type) + "\n");
    Write(interfaceDir / "flags", i.flags + "\n");
    Write(interfaceDir / "address", i.address + "\n");
    Write(interfaceDir / "ifindex", std::to_string(i.ifindex) + "\n");
    if (!deviceDir.empty()) {
      fs::create_directory_symlink(deviceDir, interfaceDir / "device");
      const fs::path driver =
          dir_ / "bus" / (i.hardware == Interface::Usb ? "usb" : "pci") / "drivers" / i.driver;
      fs::create_directories(driver);
      fs::create_directory_symlink(driver, deviceDir / "driver");
      if (i.hardware == Interface::Usb) {
        fs::create_directory_symlink(dir_ / "bus/usb", deviceDir / "subsystem");
        if (!i.product.empty())
          Write(deviceDir.parent_path() / "product", i.product + "\n");
        if (!i.manufacturer.empty())
          Write(deviceDir.parent_path() / "manufacturer", i.manufacturer + "\n");
      }
    }
    fs::create_directories(root());
    fs::create_directory_symlink(interfaceDir, root() / i.name);
  }

 private:
  static void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }
  TempDir temp_;
  fs::path dir_ = temp_.path();
};

TEST(SysfsAdapterSource, OffersEthernetInterfacesThatAreUpInIndexOrder) {
  FakeSysfs sysfs;
  using I = FakeSysfs::Interface;
  I lo{.name = "lo", .type = 772, .flags = "0x9", .address = "00:00:00:00:00:00", .ifindex = 1};
  lo.hardware = I::Virtual;
  sysfs.Add(lo);
  sysfs.Add(I{.name = "eth10", .address = "00:1a:2b:3c:4d:10", .ifindex = 3, .driver = "igb"});
  sysfs.Add(I{.name = "eth1", .address = "00:1a:2b:3c:4d:01", .ifindex = 2, .driver = "e1000e"});
  sysfs.Add(I{.name = "eth2", .flags = "0x1002", .ifindex = 4});  // down
  I tun{.name = "tun0", .type = 65534, .ifindex = 5};
  tun.hardware = I::Virtual;
  sysfs.Add(tun);
  I usb{.name = "enx0011223344aa", .address = "00:11:22:33:44:AA", .ifindex = 6};
  usb.hardware = I::Usb;
  usb.driver = "ax88179_178a";
  usb.product = "AX88179 Gigabit Ethernet";
  usb.manufacturer = "ASIX Elec. Corp.";
  sysfs.Add(usb);
  I veth{.name = "veth0", .address = "02:62:62:00:00:01", .ifindex = 7};
  veth.hardware = I::Virtual;
  sysfs.Add(veth);
  I plain{.name = "plain0", .address = "02:62:62:00:00:02", .ifindex = 8};
  plain.hardware = I::None;
  sysfs.Add(plain);
  I broken{.name = "eth9", .address = "zz:1a:2b:3c:4d:5e", .ifindex = 9};
  sysfs.Add(broken);

  SysfsAdapterSource source(sysfs.root());
  const auto all = source.Entries();
  ASSERT_EQ(all.size(), 9u);
  EXPECT_EQ(all.front().name, "lo");
  EXPECT_EQ(all.front().kind, 0);

  const auto offered = OfferedAdapters(source);
  std::vector<std::string> names;
  for (const auto& r : offered)
    names.push_back(r.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"eth1", "eth10", "enx0011223344aa", "veth0", "plain0"}));
  ASSERT_EQ(offered.size(), 5u);
  EXPECT_EQ(offered[0].description, "eth1 - e1000e");
  EXPECT_EQ(offered[0].mac, (MacAddress{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x01}));
  EXPECT_EQ(offered[1].description, "eth10 - igb");
  EXPECT_EQ(offered[2].description, "enx0011223344aa - ASIX Elec. Corp. AX88179 Gigabit Ethernet");
  EXPECT_EQ(offered[2].mac, (MacAddress{0x00, 0x11, 0x22, 0x33, 0x44, 0xAA}));
  EXPECT_EQ(offered[3].description, "veth0 - virtual");
  EXPECT_EQ(offered[4].description, "plain0");
}

TEST(SysfsAdapterSource, LongDescriptionsAreCutWithoutSplittingACharacter) {
  FakeSysfs sysfs;
  FakeSysfs::Interface usb{.name = "usb10", .ifindex = 2};
  usb.hardware = FakeSysfs::Interface::Usb;
  // "usb10 - " is 8 bytes; then two-byte characters, so byte 131 would split one.
  std::string product;
  for (int i = 0; i < 100; ++i)
    product += "\xC3\xA9";
  usb.product = product;
  sysfs.Add(usb);
  SysfsAdapterSource source(sysfs.root());
  const auto offered = OfferedAdapters(source);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].description.size(), 130u);
  EXPECT_EQ(offered[0].description, "usb10 - " + product.substr(0, 122));
  EXPECT_EQ(CutUtf8("abc", 131), "abc");
}

TEST(SysfsAdapterSource, AMissingFolderListsNothing) {
  TempDir temp;
  SysfsAdapterSource source(temp / "no-such-folder");
  EXPECT_TRUE(source.Entries().empty());
}

TEST(AdapterListText, IsTheDescriptionAndTheUpperCaseMac) {
  AdapterRecord record;
  record.description = "Intel(R) Ethernet Connection I219-LM";
  record.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
  EXPECT_EQ(AdapterListText(record), "Intel(R) Ethernet Connection I219-LM (00:1A:2B:3C:4D:5E)");
}

TEST(MatchCaptureDevice, ComparesWholeNames) {
  struct Case {
    std::vector<std::string> devices;
    std::string adapter;
    std::optional<std::string> found;
  };
  const Case cases[] = {
      {{"eth10", "eth1", "any"}, "eth1", "eth1"},
      {{"eth1", "eth10"}, "eth10", "eth10"},
      {{"eth10"}, "eth1", std::nullopt},
      {{"eth1"}, "eth", std::nullopt},
      {{"eth1"}, "", std::nullopt},
      {{}, "eth1", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchCaptureDevice(c.devices, c.adapter), c.found) << c.adapter;
}

TEST(InterfaceMtu, ReadsTheKernelsValue) {
  const std::string sysfsValue = TrimWhite(testing::ReadBytes("/sys/class/net/lo/mtu"));
  ASSERT_FALSE(sysfsValue.empty());
  EXPECT_EQ(InterfaceMtu("lo"), std::stoi(sysfsValue));
  EXPECT_EQ(InterfaceMtu("brvnosuch0"), std::nullopt);
  EXPECT_EQ(InterfaceMtu("a-name-longer-than-ifnamsiz"), std::nullopt);
  EXPECT_EQ(kMinimumLinkMtu, static_cast<int>(kFrameSize) - 14);
}

// Selecting the capture device through the link manager.
class CaptureDeviceSelection : public ::testing::Test {
 protected:
  TempDir temp_;
  CSqlManagement store_{temp_ / "data.db"};
  std::shared_ptr<testing::FakeAdapterSource> adapters_ =
      std::make_shared<testing::FakeAdapterSource>();
  std::unique_ptr<AcTransmitManage> link_;

  void Make() {
    link_ = std::make_unique<AcTransmitManage>(store_, adapters_,
                                               MemorySegment::Create()->Station("eth0"));
  }
};

TEST_F(CaptureDeviceSelection, TakesTheExactNameAndKeepsThePreviousOneOtherwise) {
  adapters_->captureDevices = {"eth10", "eth1", "any", "lo"};
  adapters_->mtus = {{"eth1", 1500}};
  Make();
  std::string message = "stale";
  EXPECT_TRUE(link_->ApplyAdapter(testing::Adapter("eth1", {2, 0, 0, 0, 0, 1}), &message));
  EXPECT_EQ(link_->CaptureDeviceName(), "eth1");
  EXPECT_EQ(message, "");
  EXPECT_EQ(link_->AdapterMac(), (MacAddress{2, 0, 0, 0, 0, 1}));
  EXPECT_EQ(link_->CaptureDeviceMtu(), 1500);

  EXPECT_FALSE(link_->FindCaptureDevice(testing::Adapter("eth2", {}), &message));
  EXPECT_EQ(message, "");
  EXPECT_EQ(link_->CaptureDeviceName(), "eth1");
}

TEST_F(CaptureDeviceSelection, AnUnavailableDeviceListIsTheCallersToShow) {
  adapters_->captureListFails = true;
  Make();
  EXPECT_EQ(link_->CaptureDeviceMtu(), std::nullopt);  // nothing chosen yet
  std::string message;
  EXPECT_FALSE(link_->FindCaptureDevice(testing::Adapter("eth1", {}), &message));
  EXPECT_EQ(message, "pcap_findalldevs error");
  EXPECT_EQ(link_->CaptureDeviceName(), "");
}

TEST_F(CaptureDeviceSelection, ListsOnlyOfferedAdaptersInOrder) {
  adapters_->entries = {testing::Adapter("eth0", {2, 0, 0, 0, 0, 1}, 1),
                        testing::Adapter("lo", {}, 0),
                        testing::Adapter("eth1", {2, 0, 0, 0, 0, 2}, 1)};
  Make();
  std::vector<AdapterRecord> list = {testing::Adapter("stale", {})};
  link_->ListAdapters(list);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "eth0");
  EXPECT_EQ(list[1].name, "eth1");
}

}  // namespace
}  // namespace brevant
