// Inputs the fuzz targets found (fuzz/), kept as ordinary cases.

#include <gtest/gtest.h>

#include "workflow/antitheft.h"

namespace brevant {
namespace {

using namespace std::string_literals;

// A NUL inside an entry: the address parser stopped at it, so "1.1.1.1" and
// whatever followed went into the command; and the device, which reads the
// command up to its first NUL, would get it cut short.
TEST(FuzzRegressions, AntiTheftEntriesWithANulAreRefused) {
  struct Case {
    const char* name;
    void (*change)(AntiTheftFields&);
    const char* message;
  } cases[] = {
      {"SecondaryDns", [](AntiTheftFields& f) { f.secondaryDns = "1.1.1.1\0\"}garbage"s; },
       "The Secondary DNS is invalid!"},
      {"PrimaryDns", [](AntiTheftFields& f) { f.primaryDns = "::1\0"s; },
       "The Primary DNS is invalid!"},
      {"AcName", [](AntiTheftFields& f) { f.acName = "ac\0one"s; },
       "The input AC Name cannot contain special characters \" or \\ "},
      {"LockCode", [](AntiTheftFields& f) { f.lockCode = f.confirmLockCode = "Lock\0code"s; },
       "The input Lock Code cannot contain space characters and special characters \" or \\ "},
  };
  for (const Case& c : cases) {
    AntiTheftFields fields;
    fields.lockCode = fields.confirmLockCode = "Lock123";
    fields.acName = "ac one";
    fields.primaryDns = "8.8.8.8";
    fields.secondaryDns = "1.1.1.1";
    ASSERT_TRUE(ValidateAntiTheft(fields).ok);
    c.change(fields);
    const AntiTheftCheck check = ValidateAntiTheft(fields);
    EXPECT_FALSE(check.ok) << c.name;
    EXPECT_EQ(check.message, c.message) << c.name;
  }
  EXPECT_FALSE(IsValidAddress("8.8.8.8\0"s));
  EXPECT_FALSE(IsValidAddress(" 8.8.8.8\0x "s));
  EXPECT_TRUE(IsValidAddress(" 8.8.8.8 "));
}

}  // namespace
}  // namespace brevant
