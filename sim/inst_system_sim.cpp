#include "inst_system_sim.h"

#include "inst_main.h"

#include <cstring>

namespace siminst {
namespace {

Machine machine;
int next_handle = 1;

const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\d418";

// Records the call; returns the error it is made to fail with, or 0.
uint32_t Enter(const char *name) {
    machine.calls.push_back(name);
    int count = ++machine.call_counts[name];
    auto found = machine.failures.find(name);
    if (found == machine.failures.end()) return 0;
    if (found->second.nth != 0 && found->second.nth != count) return 0;
    return found->second.error;
}

InstHandle NewHandle() {
    int id = next_handle++;
    machine.open_handles.insert(id);
    return reinterpret_cast<InstHandle>(static_cast<intptr_t>(id));
}

int IdOf(InstHandle handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)); }

// Service handles, to tell when the last one closes.
std::set<int> service_handles;
std::map<int, std::string> key_handles;  // registry handle -> key path

bool StartsWith(const std::string &text, const std::string &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A service marked for deletion goes with its last handle, and its key
// with all its subkeys.
void DeleteIfUnused() {
    if (!machine.service || !machine.service->marked_for_delete) return;
    if (!service_handles.empty() || machine.other_service_handles > 0) return;
    if (machine.service->state != INST_SERVICE_STOPPED) return;
    machine.service.reset();
    for (auto it = machine.keys.begin(); it != machine.keys.end();) {
        if (StartsWith(it->first, kServiceKey)) it = machine.keys.erase(it);
        else ++it;
    }
}

std::vector<uint8_t> Sid(uint8_t authority, std::vector<uint32_t> subs) {
    std::vector<uint8_t> sid = {1, static_cast<uint8_t>(subs.size()), 0, 0, 0, 0, 0, authority};
    for (uint32_t sub : subs)
        for (int i = 0; i < 4; i++) sid.push_back(static_cast<uint8_t>(sub >> (8 * i)));
    return sid;
}

}  // namespace

Machine &M() { return machine; }

void Reset() {
    machine = Machine();
    next_handle = 1;
    service_handles.clear();
    key_handles.clear();
    machine.accounts["Administrators"] = {Sid(5, {32, 544}), INST_SID_ALIAS};
    machine.accounts["Users"] = {Sid(5, {32, 545}), INST_SID_ALIAS};
    machine.accounts["Board Users"] = {
        Sid(5, {21, 1004336348, 1177238915, 682003330, 1121}), INST_SID_GROUP};
    machine.accounts["alice"] = {Sid(5, {21, 1004336348, 1177238915, 682003330, 1003}),
                                 INST_SID_USER};
}

bool Called(const std::string &name) {
    for (const std::string &call : machine.calls)
        if (call == name) return true;
    return false;
}

std::string DwordData(uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; i++) data[i] = static_cast<char>(value >> (8 * i));
    return data;
}

std::string StringData(const std::string &text) { return text + std::string(1, '\0'); }

}  // namespace siminst

using siminst::machine;
using namespace siminst;

extern "C" {

int InstIsNtFamily(void) {
    Enter("GetVersion");
    return machine.nt;
}

uint32_t InstBindAdvapi(const char **failed_call, const char **missing) {
    *missing = nullptr;
    if (uint32_t error = Enter("LoadLibraryA")) {
        *failed_call = "LoadLibraryA";
        return error;
    }
    if (uint32_t error = Enter("GetProcAddress")) {
        *failed_call = "GetProcAddress";
        *missing = "ChangeServiceConfigA";
        return error;
    }
    machine.advapi_bound = true;
    return 0;
}

static uint32_t CopyOut(const std::string &text, char *path, size_t size) {
    if (text.size() >= size) return 122;  // ERROR_INSUFFICIENT_BUFFER
    std::memcpy(path, text.c_str(), text.size() + 1);
    return 0;
}

uint32_t InstGetProgramPath(char *path, size_t size) {
    if (uint32_t error = Enter("GetModuleFileNameA")) return error;
    return CopyOut(machine.program_path, path, size);
}

uint32_t InstGetSystemDirectory(char *path, size_t size) {
    if (uint32_t error = Enter("GetSystemDirectoryA")) return error;
    return CopyOut(machine.system_directory, path, size);
}

uint32_t InstFileExists(const char *path) {
    if (uint32_t error = Enter("GetFileAttributesA")) return error;
    return machine.files.count(path) ? 0 : INST_ERROR_FILE_NOT_FOUND;
}

uint32_t InstCopyFile(const char *from, const char *to) {
    if (uint32_t error = Enter("CopyFileA")) return error;
    auto found = machine.files.find(from);
    if (found == machine.files.end()) return INST_ERROR_FILE_NOT_FOUND;
    machine.files[to] = found->second;
    return 0;
}

uint32_t InstDeleteFile(const char *path) {
    if (uint32_t error = Enter("DeleteFileA")) return error;
    if (!machine.files.erase(path)) return INST_ERROR_FILE_NOT_FOUND;
    return 0;
}

uint32_t InstOpenSCManager(int, InstHandle *manager) {
    *manager = nullptr;
    if (uint32_t error = Enter("OpenSCManagerA")) return error;
    *manager = NewHandle();
    return 0;
}

uint32_t InstOpenService(InstHandle, const char *name, int, InstHandle *service) {
    *service = nullptr;
    if (uint32_t error = Enter("OpenServiceA")) return error;
    if (!machine.service || std::strcmp(name, "d418") != 0)
        return INST_ERROR_SERVICE_DOES_NOT_EXIST;
    *service = NewHandle();
    service_handles.insert(IdOf(*service));
    return 0;
}

uint32_t InstCreateService(InstHandle, const char *, const char *display_name,
                           uint32_t start_type, const char *image_path, InstHandle *service) {
    *service = nullptr;
    if (uint32_t error = Enter("CreateServiceA")) return error;
    if (machine.service) {
        return machine.service->marked_for_delete ? INST_ERROR_SERVICE_MARKED_FOR_DELETE
                                                  : 1073;  // ERROR_SERVICE_EXISTS
    }
    machine.service = Service();
    machine.service->start_type = start_type;
    machine.service->image_path = image_path;
    machine.service->display_name = display_name;
    *service = NewHandle();
    service_handles.insert(IdOf(*service));
    return 0;
}

uint32_t InstChangeServiceConfig(InstHandle, const char *display_name, uint32_t start_type,
                                 const char *image_path) {
    if (uint32_t error = Enter("ChangeServiceConfigA")) return error;
    if (machine.service->marked_for_delete) return INST_ERROR_SERVICE_MARKED_FOR_DELETE;
    machine.service->start_type = start_type;
    machine.service->image_path = image_path;
    machine.service->display_name = display_name;
    return 0;
}

uint32_t InstQueryServiceStatus(InstHandle, uint32_t *state) {
    if (uint32_t error = Enter("QueryServiceStatus")) return error;
    Service &service = *machine.service;
    if (service.state == INST_SERVICE_STOP_PENDING && service.stop_polls_left >= 0) {
        if (service.stop_polls_left == 0) service.state = INST_SERVICE_STOPPED;
        else service.stop_polls_left--;
    }
    *state = service.state;
    return 0;
}

uint32_t InstQueryServiceConfig(InstHandle, uint32_t *start_type) {
    if (uint32_t error = Enter("QueryServiceConfigA")) return error;
    *start_type = machine.service->start_type;
    return 0;
}

uint32_t InstStopService(InstHandle) {
    if (uint32_t error = Enter("ControlService")) return error;
    Service &service = *machine.service;
    if (service.state != INST_SERVICE_RUNNING) return INST_ERROR_SERVICE_NOT_ACTIVE;
    service.state = INST_SERVICE_STOP_PENDING;
    service.stop_polls_left = machine.stop_polls;
    return 0;
}

uint32_t InstStartService(InstHandle) {
    if (uint32_t error = Enter("StartServiceA")) return error;
    Service &service = *machine.service;
    if (service.marked_for_delete) return INST_ERROR_SERVICE_MARKED_FOR_DELETE;
    if (service.state == INST_SERVICE_RUNNING) return 1056;  // ERROR_SERVICE_ALREADY_RUNNING
    if (!machine.files.count(machine.system_directory + "\\drivers\\d418.sys"))
        return INST_ERROR_FILE_NOT_FOUND;
    if (machine.start_error) return machine.start_error;
    service.state = INST_SERVICE_RUNNING;
    return 0;
}

uint32_t InstDeleteService(InstHandle) {
    if (uint32_t error = Enter("DeleteService")) return error;
    if (machine.service->marked_for_delete) return INST_ERROR_SERVICE_MARKED_FOR_DELETE;
    machine.service->marked_for_delete = true;
    return 0;
}

void InstCloseServiceHandle(InstHandle handle) {
    Enter("CloseServiceHandle");
    machine.open_handles.erase(IdOf(handle));
    service_handles.erase(IdOf(handle));
    DeleteIfUnused();
}

uint32_t InstRegCreateKey(const char *path, InstHandle *key) {
    *key = nullptr;
    if (uint32_t error = Enter("RegCreateKeyExA")) return error;
    machine.keys[path];
    *key = NewHandle();
    key_handles[IdOf(*key)] = path;
    return 0;
}

uint32_t InstRegOpenKey(const char *path, InstHandle *key) {
    *key = nullptr;
    if (uint32_t error = Enter("RegOpenKeyExA")) return error;
    if (!machine.keys.count(path)) return INST_ERROR_FILE_NOT_FOUND;
    *key = NewHandle();
    key_handles[IdOf(*key)] = path;
    return 0;
}

static std::map<std::string, RegValue> &ValuesOf(InstHandle key) {
    return machine.keys[key_handles.at(IdOf(key))];
}

uint32_t InstRegSetDword(InstHandle key, const char *name, uint32_t value) {
    if (uint32_t error = Enter("RegSetValueExA")) return error;
    ValuesOf(key)[name] = {INST_REG_DWORD, DwordData(value)};
    return 0;
}

uint32_t InstRegSetString(InstHandle key, const char *name, const char *value) {
    if (uint32_t error = Enter("RegSetValueExA")) return error;
    ValuesOf(key)[name] = {INST_REG_SZ, StringData(value)};
    return 0;
}

uint32_t InstRegQueryValue(InstHandle key, const char *name, uint32_t *type, void *data,
                           uint32_t *size) {
    if (uint32_t error = Enter("RegQueryValueExA")) return error;
    auto &values = ValuesOf(key);
    auto found = values.find(name);
    if (found == values.end()) return INST_ERROR_FILE_NOT_FOUND;
    *type = found->second.type;
    uint32_t room = *size;
    *size = static_cast<uint32_t>(found->second.data.size());
    if (found->second.data.size() > room) return INST_ERROR_MORE_DATA;
    std::memcpy(data, found->second.data.data(), found->second.data.size());
    return 0;
}

uint32_t InstRegDeleteValue(InstHandle key, const char *name) {
    if (uint32_t error = Enter("RegDeleteValueA")) return error;
    return ValuesOf(key).erase(name) ? 0 : INST_ERROR_FILE_NOT_FOUND;
}

uint32_t InstRegDeleteKey(const char *path) {
    if (uint32_t error = Enter("RegDeleteKeyA")) return error;
    return machine.keys.erase(path) ? 0 : INST_ERROR_FILE_NOT_FOUND;
}

void InstRegCloseKey(InstHandle key) {
    Enter("RegCloseKey");
    machine.open_handles.erase(IdOf(key));
    key_handles.erase(IdOf(key));
}

uint32_t InstLookupAccountName(const char *name, uint8_t *sid, uint32_t *use) {
    if (uint32_t error = Enter("LookupAccountNameA")) return error;
    auto found = machine.accounts.find(name);
    if (found == machine.accounts.end()) return INST_ERROR_NONE_MAPPED;
    std::memcpy(sid, found->second.sid.data(), found->second.sid.size());
    *use = found->second.use;
    return 0;
}

uint32_t InstOpenDevice(const char *name, InstHandle *device) {
    *device = nullptr;
    if (uint32_t error = Enter("CreateFileA")) return error;
    if (std::strcmp(name, "\\\\.\\D418") != 0) return INST_ERROR_FILE_NOT_FOUND;
    if (!machine.service || machine.service->state != INST_SERVICE_RUNNING)
        return INST_ERROR_FILE_NOT_FOUND;
    if (machine.device_open_error) return machine.device_open_error;
    *device = NewHandle();
    return 0;
}

uint32_t InstDeviceControl(InstHandle, uint32_t code) {
    if (uint32_t error = Enter("DeviceIoControl")) return error;
    if (code != INST_PROBE_CODE) return 87;
    return machine.probe_error;
}

void InstCloseHandle(InstHandle handle) {
    Enter("CloseHandle");
    machine.open_handles.erase(IdOf(handle));
}

void InstSleep(uint32_t milliseconds) {
    Enter("Sleep");
    machine.slept_ms += milliseconds;
}

}  // extern "C"
