#include "sim_loader.h"

#include <cstdio>
#include <cstring>

#define D418LIB_NO_PROTOTYPES
#include "d418lib.h"

namespace simload {

namespace {

std::map<std::string, Library> g_libraries;
std::vector<std::string> g_calls;
Answers g_answers;
uint32_t g_last_error = 0;

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", (unsigned)value);
    return text;
}

Library *Find(LoaderModule module) {
    for (auto &entry : g_libraries)
        if (&entry.second == module) return &entry.second;
    return nullptr;
}

std::string NameOf(LoaderModule module) {
    for (auto &entry : g_libraries)
        if (&entry.second == module) return entry.first;
    return "?";
}

D418_RESULT D418_CALL ScriptedInit(uint32_t base) {
    g_calls.push_back("D418Init " + Hex(base));
    return g_answers.init;
}

D418_RESULT D418_CALL ScriptedTimeout(uint32_t timeout) {
    g_calls.push_back("D418Timeout " + Hex(timeout));
    return g_answers.timeout;
}

D418_RESULT D418_CALL ScriptedReset(void) {
    g_calls.push_back("D418Reset");
    return g_answers.reset;
}

D418_RESULT D418_CALL ScriptedSendCommand(int32_t w2, int32_t w1, const uint8_t *payload,
                                          int32_t length) {
    char head[96];
    std::snprintf(head, sizeof head, "D418SendCommand w2=0x%X w1=0x%X length=%d",
                  (unsigned)w2, (unsigned)w1, (int)length);
    std::string line = head;
    for (int32_t i = 0; payload && i < length; i++) {
        char byte[4];
        std::snprintf(byte, sizeof byte, " %02X", payload[i]);
        line += byte;
    }
    g_calls.push_back(line);
    return g_answers.send_command;
}

D418_RESULT D418_CALL ScriptedReadResponse(uint8_t *buffer, int32_t *count) {
    g_calls.push_back(buffer ? "D418ReadResponse buffer" : "D418ReadResponse null");
    if (buffer && !g_answers.reply.empty())
        std::memcpy(buffer, g_answers.reply.data(), g_answers.reply.size());
    *count = (int32_t)g_answers.reply.size();
    return g_answers.read_response;
}

}  // namespace

void Reset() {
    g_libraries.clear();
    g_calls.clear();
    g_answers = Answers{};
    g_last_error = 0;
}

Library &Script(const std::string &file_name) { return g_libraries[file_name]; }

Library &ScriptD418() {
    Library &library = Script("d418lib.dll");
    library.exports = {
        {"D418Init", reinterpret_cast<LoaderProc>(&ScriptedInit)},
        {"D418Timeout", reinterpret_cast<LoaderProc>(&ScriptedTimeout)},
        {"D418Reset", reinterpret_cast<LoaderProc>(&ScriptedReset)},
        {"D418SendCommand", reinterpret_cast<LoaderProc>(&ScriptedSendCommand)},
        {"D418ReadResponse", reinterpret_cast<LoaderProc>(&ScriptedReadResponse)},
    };
    return library;
}

Answers &Answer() { return g_answers; }

std::vector<std::string> &Calls() { return g_calls; }

void SetLastError(uint32_t code) { g_last_error = code; }

uint32_t LastError() { return g_last_error; }

}  // namespace simload

using namespace simload;

extern "C" LoaderModule LoaderLoadLibrary(const char *file_name) {
    g_calls.push_back(std::string("LoadLibraryA ") + file_name);
    auto found = g_libraries.find(file_name);
    if (found == g_libraries.end() || !found->second.present) {
        g_last_error = found == g_libraries.end() ? kModNotFound : found->second.load_error;
        return nullptr;
    }
    found->second.load_count++;
    return &found->second;
}

extern "C" LoaderProc LoaderGetProcAddress(LoaderModule module, const char *name) {
    g_calls.push_back(std::string("GetProcAddress ") + name);
    Library *library = Find(module);
    if (!library || library->load_count == 0) {
        g_last_error = kInvalidHandle;
        return nullptr;
    }
    auto found = library->exports.find(name);
    if (found == library->exports.end()) {
        g_last_error = kProcNotFound;
        return nullptr;
    }
    return found->second;
}

extern "C" int LoaderFreeLibrary(LoaderModule module) {
    g_calls.push_back("FreeLibrary " + NameOf(module));
    Library *library = Find(module);
    if (!library || library->load_count == 0) {
        g_last_error = kInvalidHandle;
        return 0;
    }
    library->load_count--;
    return 1;
}

extern "C" uint32_t LoaderGetLastError(void) {
    g_calls.push_back("GetLastError");
    return g_last_error;
}
