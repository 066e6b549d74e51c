#include "workflow/antitheft.h"

#include <gtest/gtest.h>

#include "fake_operator_port.h"
#include "records/status_store.h"
#include "support/fake_link.h"
#include "support/temp_dir.h"

namespace brevant {
namespace {

using F = AntiTheftField;
using testing::FakeOperatorPort;

AntiTheftFields Valid() {
  AntiTheftFields f;
  f.lockCode = "Lock123";
  f.confirmLockCode = "Lock123";
  f.acName = "ac one";
  return f;
}

struct ValidationCase {
  const char* name;
  AntiTheftFields fields;
  const char* message;  // nullptr: passes
  F field;
};

AntiTheftFields With(void (*change)(AntiTheftFields&)) {
  AntiTheftFields f = Valid();
  change(f);
  return f;
}

class AntiTheftValidation : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(AntiTheftValidation, FirstFailingRuleDecides) {
  const AntiTheftCheck check = ValidateAntiTheft(GetParam().fields);
  if (GetParam().message == nullptr) {
    EXPECT_TRUE(check.ok) << check.message;
    return;
  }
  EXPECT_FALSE(check.ok);
  EXPECT_EQ(check.message, GetParam().message);
  EXPECT_EQ(check.field, GetParam().field);
}

const char* kLockSpecial =
    "The input Lock Code cannot contain space characters and special characters \" or \\ ";
const char* kConfirmSpecial =
    "The input Confirm Lock Code cannot contain space characters and special characters \" or \\ ";

INSTANTIATE_TEST_SUITE_P(
    Rules, AntiTheftValidation,
    ::testing::Values(
        ValidationCase{"AllGood", Valid(), nullptr, F::LockCode},
        ValidationCase{"EmptyLock", With([](auto& f) { f.lockCode = ""; }),
                       "Please input the Lock Code information!", F::LockCode},
        ValidationCase{"LockWithSpace", With([](auto& f) { f.lockCode = "a b"; }), kLockSpecial,
                       F::LockCode},
        ValidationCase{"LockWithQuote", With([](auto& f) { f.lockCode = "a\"b"; }), kLockSpecial,
                       F::LockCode},
        ValidationCase{"LockWithBackslash", With([](auto& f) { f.lockCode = "a\\b"; }),
                       kLockSpecial, F::LockCode},
        ValidationCase{"SpaceRefusedEvenWhenOff", With([](auto& f) {
                         f.lockCode = "a b";
                         f.switchOn = false;
                       }),
                       kLockSpecial, F::LockCode},
        ValidationCase{"OffChecksOnlyTheLockCode", With([](auto& f) {
                         f.switchOn = false;
                         f.confirmLockCode = "";
                         f.acName = "";
                         f.primaryDns = "nonsense";
                       }),
                       nullptr, F::LockCode},
        ValidationCase{"EmptyConfirm", With([](auto& f) { f.confirmLockCode = ""; }),
                       "Please input the Confirm Lock Code information!", F::ConfirmLockCode},
        ValidationCase{"ConfirmWithSpace", With([](auto& f) { f.confirmLockCode = "Lock 123"; }),
                       kConfirmSpecial, F::ConfirmLockCode},
        ValidationCase{"CaseMatters", With([](auto& f) { f.confirmLockCode = "lock123"; }),
                       "The input information of the two is inconsistent!", F::ConfirmLockCode},
        ValidationCase{"EmptyAcName", With([](auto& f) { f.acName = ""; }),
                       "Please input the AC Name information!", F::ACName},
        ValidationCase{"AcNameWithBackslash", With([](auto& f) { f.acName = "a\\c"; }),
                       "The input AC Name cannot contain special characters \" or \\ ", F::ACName},
        // A tab, CR or LF would make the command invalid JSON on the device.
        ValidationCase{"LockWithTab", With([](auto& f) { f.lockCode = "Lock\t123"; }), kLockSpecial,
                       F::LockCode},
        ValidationCase{"ConfirmWithLineFeed", With([](auto& f) {
                         f.lockCode = f.confirmLockCode = "Lock123\n";
                         f.lockCode = "Lock123";
                       }),
                       kConfirmSpecial, F::ConfirmLockCode},
        ValidationCase{"AcNameWithCarriageReturn", With([](auto& f) { f.acName = "ac\rone"; }),
                       "The input AC Name cannot contain special characters \" or \\ ", F::ACName},
        ValidationCase{"AcNameWithDelete", With([](auto& f) { f.acName = "ac\x7F"; }),
                       "The input AC Name cannot contain special characters \" or \\ ", F::ACName},
        ValidationCase{"PrimaryWithTrailingLineFeed",
                       With([](auto& f) { f.primaryDns = "8.8.8.8\n"; }),
                       "The Primary DNS is invalid!", F::PrimaryDns},
        ValidationCase{"SecondaryWithLeadingTab",
                       With([](auto& f) { f.secondaryDns = "\t8.8.4.4"; }),
                       "The Secondary DNS is invalid!", F::SecondaryDns},
        ValidationCase{"BadPrimary", With([](auto& f) { f.primaryDns = "256.1.1.1"; }),
                       "The Primary DNS is invalid!", F::PrimaryDns},
        ValidationCase{"ShortPrimary", With([](auto& f) { f.primaryDns = "1.2.3"; }),
                       "The Primary DNS is invalid!", F::PrimaryDns},
        ValidationCase{"EmptyPrimaryIsNoPlaceholder", With([](auto& f) { f.primaryDns = ""; }),
                       "The Primary DNS is invalid!", F::PrimaryDns},
        ValidationCase{"BadSecondary", With([](auto& f) { f.secondaryDns = "x"; }),
                       "The Secondary DNS is invalid!", F::SecondaryDns},
        ValidationCase{"Ipv6AndBlanks", With([](auto& f) {
                         f.primaryDns = "::1";
                         f.secondaryDns = " 8.8.4.4 ";
                       }),
                       nullptr, F::LockCode}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(AntiTheftCommand, TextHasFiveMembersInOrderWithoutWhiteSpace) {
  AntiTheftFields f = Valid();
  EXPECT_EQ(
      AntiTheftCommandText(f),
      R"({"Lockcode":"Lock123","Enable":"1","ACName":"ac one","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})");
  f.primaryDns = " 8.8.8.8";  // sent as it stands
  f.secondaryDns = "::1";
  EXPECT_EQ(
      AntiTheftCommandText(f),
      R"({"Lockcode":"Lock123","Enable":"1","ACName":"ac one","DNS1":" 8.8.8.8","DNS2":"::1"})");
  f.switchOn = false;  // whatever the hidden fields hold
  EXPECT_EQ(AntiTheftCommandText(f),
            R"({"Lockcode":"Lock123","Enable":"0","ACName":"","DNS1":"0.0.0.0","DNS2":"0.0.0.0"})");
}

TEST(AntiTheftDecision, NotesTheFailureConfirmsAndRefusesOversizedCommands) {
  FakeOperatorPort port;
  AntiTheftFields bad = Valid();
  bad.acName = "";
  auto decision = DecideAntiTheft(bad, port);
  EXPECT_FALSE(decision.proceed);
  EXPECT_EQ(decision.focus, F::ACName);
  ASSERT_EQ(port.notes.size(), 1u);
  EXPECT_EQ(port.notes[0].title, "Note");
  EXPECT_EQ(port.notes[0].text, "Please input the AC Name information!");
  EXPECT_FALSE(port.notes[0].withCancel);

  port.notes.clear();
  port.answers = {false};
  decision = DecideAntiTheft(Valid(), port);
  EXPECT_FALSE(decision.proceed);
  ASSERT_EQ(port.notes.size(), 1u);
  EXPECT_EQ(port.notes[0].text, "Are you sure you want to apply configuration?");
  EXPECT_TRUE(port.notes[0].withCancel);

  port.notes.clear();
  decision = DecideAntiTheft(Valid(), port);
  EXPECT_TRUE(decision.proceed);
  EXPECT_EQ(decision.command, AntiTheftCommandText(Valid()));

  // A hand-edited template can carry an AC name no page could type.
  port.notes.clear();
  AntiTheftFields huge = Valid();
  huge.acName = std::string(460, 'a');
  decision = DecideAntiTheft(huge, port);
  EXPECT_FALSE(decision.proceed);
  EXPECT_EQ(decision.focus, F::ACName);
  ASSERT_EQ(port.notes.size(), 1u);
  EXPECT_FALSE(port.notes[0].withCancel);
}

TEST(AntiTheftApply, ResetsEveryStatusAndStartsOneJobPerTargetInOrder) {
  testing::TempDir dir;
  CSqlManagement store(dir / "data.db");
  const std::vector<std::string> macs = {"AA:00:00:00:00:01", "AA:00:00:00:00:02",
                                         "AA:00:00:00:00:03", "AA:00:00:00:00:04"};
  for (const auto& mac : macs)
    ASSERT_TRUE(store.InsertOrUpdateDevice({mac, "t", "", "", "", ""}));
  ASSERT_TRUE(store.SetParaStatus(macs[3], OPERATE_SUCCESS));

  testing::FakeLink link([](testing::FakeLink& l, const LinkFrame& f) {
    l.Deliver(MakeAcknowledgement(f.source(), f.destination(), JSON_CMD_DATA, 1));
  });
  // The starter keeps the jobs in the order they were started, to run them later.
  std::vector<std::function<void()>> started;
  DeliveryContext context{&link, &store, {}, [&](std::function<void()> job) {
                            started.push_back(std::move(job));
                            return true;
                          }};
  const std::string command = AntiTheftCommandText(Valid());
  const std::vector<std::string> targets = {macs[2], macs[0], macs[1]};  // not sorted
  EXPECT_EQ(StartAntiTheftJobs(command, targets, store, context), 3);
  ASSERT_EQ(started.size(), 3u);

  std::vector<ap_info_stu> rows;
  int count = 0, ok = 0, failed = 0;
  ASSERT_TRUE(store.QueryDevices(true, SORT_BY_MAC, "", rows, count, ok, failed));
  ASSERT_EQ(rows.size(), 4u);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(rows[static_cast<std::size_t>(i)].antiTheftStatus, OPERATING);
  // Devices that are not targets are cleared too.
  EXPECT_EQ(rows[3].paraStatus, WAIT_OPERATE);
  EXPECT_EQ(rows[3].antiTheftStatus, WAIT_OPERATE);

  // One after the other, the jobs address the targets in the list's order.
  for (auto& job : started)
    job();
  const auto sent = link.Sent();
  ASSERT_EQ(sent.size(), targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i)
    EXPECT_EQ(DeviceMacText(sent[i].destination()), targets[i]) << "job " << i + 1;
}

TEST(AntiTheftApply, EveryTargetReceivesTheSameCommandFrame) {
  testing::TempDir dir;
  CSqlManagement store(dir / "data.db");
  const std::vector<std::string> macs = {"AA:00:00:00:00:01", "AA:00:00:00:00:02"};
  for (const auto& mac : macs)
    ASSERT_TRUE(store.InsertOrUpdateDevice({mac, "t", "", "", "", ""}));
  testing::FakeLink link([](testing::FakeLink& l, const LinkFrame& f) {
    l.Deliver(MakeAcknowledgement(f.source(), f.destination(), JSON_CMD_DATA, 1));
  });
  DeliveryContext context{&link, &store, {}, {}};
  const std::string command = AntiTheftCommandText(Valid());
  ASSERT_EQ(StartAntiTheftJobs(command, macs, store, context), 2);
  ASSERT_TRUE(WaitForDeliveryJobs(std::chrono::steady_clock::now() + std::chrono::seconds(5)));
  const auto sent = link.Sent();
  ASSERT_EQ(sent.size(), 2u);
  for (const auto& f : sent) {
    EXPECT_EQ(std::string(f.payload().begin(), f.payload().end()), command);
    EXPECT_EQ(f.source(), link.AdapterMac());
  }
  EXPECT_EQ(store.EvaluateDevice(macs[0]), RESULT_BUSY);  // transmitted, no result yet
}

}  // namespace
}  // namespace brevant
