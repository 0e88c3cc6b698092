// A stand-in for d418inst's system calls (diag/inst_system.h): one machine
// in memory, with its service database, the registry keys of the service,
// its files, its accounts and the device the driver creates. A case sets
// the machine up, may make any call fail, runs d418inst and reads back what
// is left.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "inst_system.h"

namespace siminst {

struct Service {
    uint32_t start_type = INST_START_AUTO;
    std::string image_path;
    std::string display_name;
    uint32_t state = INST_SERVICE_STOPPED;
    bool marked_for_delete = false;
    int stop_polls_left = 0;  // status queries that still show STOP_PENDING
};

struct RegValue {
    uint32_t type = INST_REG_SZ;
    std::string data;  // the value's bytes (a REG_SZ with its final zero)
};

struct Account {
    std::vector<uint8_t> sid;
    uint32_t use = INST_SID_ALIAS;
};

// A call made to fail: every call of that name (nth 0) or only the nth.
struct Failure {
    int nth = 0;
    uint32_t error = 0;
};

struct Machine {
    bool nt = true;
    std::string program_path = "C:\\SDK\\bin\\d418inst.exe";
    std::string system_directory = "C:\\WINNT\\system32";
    std::map<std::string, std::string> files;  // path (as written) -> content
    std::optional<Service> service;
    int other_service_handles = 0;  // handles another program holds
    // Registry keys under HKEY_LOCAL_MACHINE by path, with their values.
    std::map<std::string, std::map<std::string, RegValue>> keys;
    std::map<std::string, Account> accounts;
    // StartServiceA's error (0: the driver starts).
    uint32_t start_error = 0;
    // Status queries a stop stays pending for; -1: it never ends.
    int stop_polls = 0;
    // The device: CreateFileA's error while the driver runs (0: it opens),
    // and the probe's error on an opened handle.
    uint32_t device_open_error = 0;
    uint32_t probe_error = INST_ERROR_INVALID_FUNCTION;

    std::map<std::string, Failure> failures;
    std::map<std::string, int> call_counts;
    std::vector<std::string> calls;  // every call, by its Win32 name
    std::set<int> open_handles;      // handles not closed yet
    uint32_t slept_ms = 0;
    bool advapi_bound = false;
};

// The machine of the running case; Reset gives a fresh one: NT, the
// program in C:\SDK\bin, no service, no files, the accounts Administrators,
// Users (local groups), "Board Users" (a domain group) and alice (a user).
Machine &M();
void Reset();

// Whether a call of that name was made.
bool Called(const std::string &name);

// Helpers for the registry of the service.
std::string DwordData(uint32_t value);
std::string StringData(const std::string &text);

}  // namespace siminst
