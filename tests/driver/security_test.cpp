// The driver's configuration checks and the decision on each open: the
// service key's values in and out of range, SID strings good and bad, the
// security descriptor's bytes, and who may open the device, against a
// stand-in access check that reads those bytes (sim/access_standin.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "access_standin.h"
#include "security.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kDenied = D418_STATUS_OPEN_DENIED;
constexpr uint32_t kRegExpandSz = 2, kRegMultiSz = 7, kRegBinary = 3;

// ---- IoBase ----

struct IoBaseCase {
    const char *name;
    uint32_t type;
    Bytes data;
    bool valid;
};

class IoBase : public ::testing::TestWithParam<IoBaseCase> {};

TEST_P(IoBase, IsTakenOnlyInRangeAsADword) {
    const IoBaseCase &c = GetParam();
    uint32_t base = 0xDEAD;
    EXPECT_EQ(D418CheckIoBase(c.type, c.data.data(), (uint32_t)c.data.size(), &base) != 0,
              c.valid);
    if (c.valid)
        EXPECT_EQ(base, (uint32_t)c.data[0] | (c.data[1] << 8));
    else
        EXPECT_EQ(base, 0xDEADu);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IoBase,
    ::testing::Values(IoBaseCase{"usual_0x300", D418_REG_DWORD, {0x00, 0x03, 0, 0}, true},
                      IoBaseCase{"lowest_0x100", D418_REG_DWORD, {0x00, 0x01, 0, 0}, true},
                      IoBaseCase{"highest_0x3fc", D418_REG_DWORD, {0xFC, 0x03, 0, 0}, true},
                      IoBaseCase{"0x280", D418_REG_DWORD, {0x80, 0x02, 0, 0}, true},
                      IoBaseCase{"below_0xff", D418_REG_DWORD, {0xFF, 0x00, 0, 0}, false},
                      IoBaseCase{"above_0x3fd", D418_REG_DWORD, {0xFD, 0x03, 0, 0}, false},
                      IoBaseCase{"system_port_0x50", D418_REG_DWORD, {0x50, 0, 0, 0}, false},
                      IoBaseCase{"zero", D418_REG_DWORD, {0, 0, 0, 0}, false},
                      IoBaseCase{"0x10300", D418_REG_DWORD, {0x00, 0x03, 0x01, 0}, false},
                      IoBaseCase{"all_ones", D418_REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, false},
                      IoBaseCase{"as_a_string", D418_REG_SZ, {'3', 0, '0', 0, '0', 0, 0, 0}, false},
                      IoBaseCase{"as_binary", kRegBinary, {0x00, 0x03, 0, 0}, false},
                      IoBaseCase{"two_bytes", D418_REG_DWORD, {0x00, 0x03}, false},
                      IoBaseCase{"eight_bytes", D418_REG_DWORD, {0x00, 0x03, 0, 0, 0, 0, 0, 0},
                                 false},
                      IoBaseCase{"no_bytes", D418_REG_DWORD, {}, false}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- SID strings ----

std::u16string U16(const std::string &s) { return std::u16string(s.begin(), s.end()); }

Bytes ParseSid(const std::u16string &text) {
    uint8_t sid[D418_SID_MAX + 8];
    std::fill(std::begin(sid), std::end(sid), 0xCD);
    size_t n = D418ParseSid(reinterpret_cast<const uint16_t *>(text.data()), text.size(), sid);
    EXPECT_LE(n, (size_t)D418_SID_MAX);
    EXPECT_EQ(sid[D418_SID_MAX], 0xCD);  // nothing written past the largest SID
    return Bytes(sid, sid + n);
}

const Bytes kSystem = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
const Bytes kAdministrators = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
const Bytes kUsers = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x21, 2, 0, 0};
const Bytes kEveryone = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
// S-1-5-21-1004336348-1177238915-682003330-513
const Bytes kDomainUsers = {1,    5,    0,    0,    0,    0,    0,    5,    21,   0,
                            0,    0,    0xDC, 0xF4, 0xDC, 0x3B, 0x83, 0x3D, 0x2B, 0x46,
                            0x82, 0x8B, 0xA6, 0x28, 0x01, 0x02, 0,    0};
const char *kDomainUsersText = "S-1-5-21-1004336348-1177238915-682003330-513";

struct SidCase {
    const char *name;
    std::string text;
    Bytes sid;  // empty: malformed
};

class SidString : public ::testing::TestWithParam<SidCase> {};

TEST_P(SidString, ParsesToItsBytesOrIsRefused) {
    EXPECT_EQ(ParseSid(U16(GetParam().text)), GetParam().sid);
}

std::string Fifteen() {
    std::string s = "S-1-5";
    for (int i = 1; i <= 15; i++) s += "-" + std::to_string(i);
    return s;
}

Bytes FifteenSid() {
    Bytes b = {1, 15, 0, 0, 0, 0, 0, 5};
    for (uint8_t i = 1; i <= 15; i++) b.insert(b.end(), {i, 0, 0, 0});
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Strings, SidString,
    ::testing::Values(
        SidCase{"domain_users", kDomainUsersText, kDomainUsers},
        SidCase{"administrators", "S-1-5-32-544", kAdministrators},
        SidCase{"system_lower_case_s", "s-1-5-18", kSystem},
        SidCase{"trailing_nuls", std::string("S-1-5-18\0\0", 10), kSystem},
        SidCase{"largest_values", "S-1-281474976710655-4294967295",
                {1, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        SidCase{"fifteen_subauthorities", Fifteen(), FifteenSid()},
        SidCase{"empty", "", {}},
        SidCase{"only_s", "S", {}},
        SidCase{"no_authority", "S-1", {}},
        SidCase{"no_subauthority", "S-1-5", {}},
        SidCase{"revision_2", "S-2-5-18", {}},
        SidCase{"trailing_dash", "S-1-5-18-", {}},
        SidCase{"empty_part", "S-1--5-18", {}},
        SidCase{"subauthority_too_large", "S-1-5-4294967296", {}},
        SidCase{"authority_too_large", "S-1-281474976710656-1", {}},
        SidCase{"sixteen_subauthorities", Fifteen() + "-16", {}},
        SidCase{"trailing_space", "S-1-5-18 ", {}},
        SidCase{"leading_space", " S-1-5-18", {}},
        SidCase{"plus_sign", "S-1-5-+18", {}},
        SidCase{"hex_subauthority", "S-1-5-0x12", {}},
        SidCase{"other_letter", "X-1-5-18", {}},
        SidCase{"nul_inside", std::string("S-1-5\0-18", 9), {}},
        SidCase{"a_name", "Administrators", {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(AllowedGroup, IsTakenOnlyAsAWellFormedString) {
    std::u16string text = U16(kDomainUsersText) + u'\0';
    const uint8_t *data = reinterpret_cast<const uint8_t *>(text.data());
    uint32_t size = (uint32_t)(text.size() * 2);
    uint8_t sid[D418_SID_MAX];
    EXPECT_EQ(D418CheckAllowedGroup(D418_REG_SZ, data, size, sid), kDomainUsers.size());
    EXPECT_EQ(Bytes(sid, sid + kDomainUsers.size()), kDomainUsers);
    EXPECT_EQ(D418CheckAllowedGroup(kRegExpandSz, data, size, sid), 0u);
    EXPECT_EQ(D418CheckAllowedGroup(kRegMultiSz, data, size, sid), 0u);
    EXPECT_EQ(D418CheckAllowedGroup(D418_REG_DWORD, data, 4, sid), 0u);
    EXPECT_EQ(D418CheckAllowedGroup(D418_REG_SZ, data, size - 1, sid), 0u);  // odd size
    EXPECT_EQ(D418CheckAllowedGroup(D418_REG_SZ, data, 0, sid), 0u);
    // Unaligned data is read as well.
    Bytes shifted(1, 0);
    shifted.insert(shifted.end(), data, data + size);
    EXPECT_EQ(D418CheckAllowedGroup(D418_REG_SZ, shifted.data() + 1, size, sid),
              kDomainUsers.size());
}

// ---- the descriptor ----

TEST(Descriptor, IsBuiltByteByByte) {
    uint8_t out[256];
    size_t n = D418BuildDescriptor(nullptr, out, sizeof out);
    const Bytes expected = {
        // revision 1, control: self-relative, DACL present; owner at 20,
        // group at 36, no SACL, DACL at 48
        1, 0, 0x04, 0x80, 20, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0, 48, 0, 0, 0,
        // owner: Administrators; group: SYSTEM
        1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0,
        1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
        // ACL revision 2, 8 + 20 + 24 bytes, 2 ACEs
        2, 0, 52, 0, 2, 0, 0, 0,
        // allowed, FILE_ALL_ACCESS, SYSTEM
        0, 0, 20, 0, 0xFF, 0x01, 0x1F, 0x00, 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
        // allowed, FILE_ALL_ACCESS, Administrators
        0, 0, 24, 0, 0xFF, 0x01, 0x1F, 0x00,
        1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    EXPECT_EQ(Bytes(out, out + n), expected);

    // With a group: a third ACE, and the ACL's size and count follow.
    n = D418BuildDescriptor(kDomainUsers.data(), out, sizeof out);
    ASSERT_EQ(n, expected.size() + 8 + kDomainUsers.size());
    EXPECT_EQ(out[48 + 2], 52 + 8 + kDomainUsers.size());
    EXPECT_EQ(out[48 + 4], 3);
    EXPECT_EQ(Bytes(out + expected.size(), out + expected.size() + 8),
              (Bytes{0, 0, (uint8_t)(8 + kDomainUsers.size()), 0, 0xFF, 0x01, 0x1F, 0x00}));
    EXPECT_EQ(Bytes(out + expected.size() + 8, out + n), kDomainUsers);

    // Too small a buffer, and a group that is no SID.
    EXPECT_EQ(D418BuildDescriptor(nullptr, out, expected.size() - 1), 0u);
    const uint8_t not_a_sid[12] = {2, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    EXPECT_EQ(D418BuildDescriptor(not_a_sid, out, sizeof out), 0u);
    EXPECT_EQ(D418AccessConfigure(not_a_sid), 0);
}

// ---- the open decision ----

const Bytes kUser = {1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0, 1, 0, 0, 0,
                     2, 0, 0, 0, 3, 0, 0, 0, 0xE9, 0x03, 0, 0};
// The allowed group's neighbour: the same domain, the last part 514.
const Bytes kDomainGuests = [] {
    Bytes b = kDomainUsers;
    b[24] = 0x02;
    b[25] = 0x02;
    return b;
}();

const sim::StandinCaller kSystemCaller{{kSystem, kEveryone, kAdministrators}};
const sim::StandinCaller kAdministrator{{kUser, kEveryone, kUsers, kAdministrators}};
const sim::StandinCaller kMember{{kUser, kEveryone, kUsers, kDomainUsers}};
const sim::StandinCaller kNeighbour{{kUser, kEveryone, kUsers, kDomainGuests}};
const sim::StandinCaller kOtherUser{{kUser, kEveryone, kUsers}};

struct OpenCase {
    const char *name;
    bool group_configured;
    const sim::StandinCaller *caller;  // null: no security context
    uint32_t name_length;
    bool relative;
    bool user_mode;
    int32_t status;
};

class OpenDecision : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenDecision, AdmitsOnlyTheCallersAllowed) {
    const OpenCase &c = GetParam();
    ASSERT_EQ(D418AccessConfigure(c.group_configured ? kDomainUsers.data() : nullptr), 1);
    sim::AccessChecks() = {};
    EXPECT_EQ(D418DecideOpen(c.name_length, c.relative, c.caller, c.user_mode), c.status);
    if (c.caller && c.name_length == 0 && !c.relative) {
        // The check asked for reading and writing data whatever the caller
        // asked for, in the caller's mode.
        EXPECT_EQ(sim::AccessChecks().calls, 1);
        EXPECT_EQ(sim::AccessChecks().desired, (uint32_t)D418_OPEN_ACCESS);
        EXPECT_EQ(sim::AccessChecks().user_mode, c.user_mode);
        // The descriptor is one the stand-in reads without complaint.
        EXPECT_NE(sim::GrantedAccess(D418AccessDescriptor(), *c.caller), ~0u);
    } else {
        EXPECT_EQ(sim::AccessChecks().calls, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Callers, OpenDecision,
    ::testing::Values(
        OpenCase{"system", false, &kSystemCaller, 0, false, true, 0},
        OpenCase{"administrator", false, &kAdministrator, 0, false, true, 0},
        OpenCase{"administrator_with_a_group_configured", true, &kAdministrator, 0, false, true,
                 0},
        OpenCase{"member_of_the_allowed_group", true, &kMember, 0, false, true, 0},
        OpenCase{"member_when_no_group_is_configured", false, &kMember, 0, false, true, kDenied},
        OpenCase{"member_of_a_neighbouring_group", true, &kNeighbour, 0, false, true, kDenied},
        OpenCase{"another_user", true, &kOtherUser, 0, false, true, kDenied},
        OpenCase{"another_user_no_group", false, &kOtherUser, 0, false, true, kDenied},
        OpenCase{"a_trailing_name", false, &kAdministrator, 2, false, true, kDenied},
        OpenCase{"a_trailing_backslash_only", false, &kSystemCaller, 2, false, true, kDenied},
        OpenCase{"relative_to_another_file", false, &kAdministrator, 0, true, true, kDenied},
        OpenCase{"relative_with_a_name", true, &kMember, 4, true, true, kDenied},
        OpenCase{"a_kernel_mode_request", false, &kOtherUser, 0, false, false, 0},
        OpenCase{"no_security_context", false, nullptr, 0, false, true, 0},
        OpenCase{"no_security_context_with_a_name", false, nullptr, 2, false, true, kDenied}),
    [](const auto &info) { return std::string(info.param.name); });

}  // namespace
