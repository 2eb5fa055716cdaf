// The fault file sim.ini and what its faults have used up (sim.fired).
#include <stdlib.h>
#include <string.h>

#include <map>

#include "machine.h"
#include "machine_files.h"

namespace linksim {

namespace {

const char FAULT_FILE[] = "sim.ini";
const char FIRED_FILE[] = "sim.fired";
const char BUSY_TAKEN[] = "busy.taken";

std::string Trim(const std::string &text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return std::string();
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

std::string Lower(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return text;
}

// "key=value" lines; keys lower-cased, later lines win, '#' starts a comment line.
std::map<std::string, std::string> ReadKeys(const char *file)
{
    std::map<std::string, std::string> keys;
    for (const std::string &raw : ReadLines(MachinePath(file))) {
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        keys[Lower(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
    }
    return keys;
}

void WriteKeys(const char *file, const std::map<std::string, std::string> &keys)
{
    std::string text;
    for (const auto &kv : keys)
        text += kv.first + "=" + kv.second + "\r\n";
    MakeFolders(MachineFolder());
    WriteWholeFile(MachinePath(file), text.data(), text.size());
}

int ToInt(const std::string &text)
{
    return (int)strtol(text.c_str(), NULL, 0);
}

}  // namespace

Faults LoadFaults()
{
    Faults faults;
    MachineLock lock;
    std::map<std::string, std::string> keys = ReadKeys(FAULT_FILE);
    if (keys.count("usb"))
        faults.usbConnected = Lower(keys["usb"]) != "disconnected";
    if (keys.count("port") && !keys["port"].empty())
        faults.port = keys["port"];
    if (keys.count("busy"))
        faults.busy = ToInt(keys["busy"]);
    if (keys.count("delay"))
        faults.delayMs = ToInt(keys["delay"]);
    for (const auto &kv : keys)
        if (kv.first.rfind("delay.", 0) == 0)
            faults.operationDelayMs[kv.first.substr(6)] = ToInt(kv.second);
    if (keys.count("progress")) {
        const std::string &value = keys["progress"];
        size_t slash = value.find('/');
        if (slash != std::string::npos) {
            faults.reportedDone = (DWORD)strtoul(value.substr(0, slash).c_str(), NULL, 0);
            faults.reportedTotal = (DWORD)strtoul(value.substr(slash + 1).c_str(), NULL, 0);
        }
    }
    if (keys.count("message"))
        faults.messageBox = Lower(keys["message"]) != "log";
    return faults;
}

int OwnDelayMs(const Faults &faults, const std::string &operation)
{
    auto own = faults.operationDelayMs.find(Lower(operation));
    return own != faults.operationDelayMs.end() ? own->second : 0;
}

int StepDelayMs(const Faults &faults, const std::string &operation)
{
    return faults.operationDelayMs.count(Lower(operation)) ? OwnDelayMs(faults, operation) : faults.delayMs;
}

void WriteFaults(const std::string &text)
{
    MachineLock lock;
    MakeFolders(MachineFolder());
    WriteWholeFile(MachinePath(FAULT_FILE), text.data(), text.size());
    DeleteFileA(MachinePath(FIRED_FILE).c_str());
}

bool ForcedFailure(const char *operation, int *code, DWORD *detail)
{
    MachineLock lock;
    std::string key = "fail." + Lower(operation);
    std::map<std::string, std::string> keys = ReadKeys(FAULT_FILE);
    auto fault = keys.find(key);
    if (fault == keys.end())
        return false;
    // <code>[,<detail>][,once]
    std::vector<std::string> parts;
    std::string value = fault->second;
    for (size_t start = 0;;) {
        size_t comma = value.find(',', start);
        parts.push_back(Lower(Trim(value.substr(start, comma - start))));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    bool once = parts.size() > 1 && parts.back() == "once";
    if (once) {
        std::map<std::string, std::string> fired = ReadKeys(FIRED_FILE);
        std::string firedKey = "fired." + Lower(operation);
        if (fired.count(firedKey))
            return false;
        fired[firedKey] = "1";
        WriteKeys(FIRED_FILE, fired);
        parts.pop_back();
    }
    *code = ToInt(parts[0]);
    *detail = parts.size() > 1 ? (DWORD)strtoul(parts[1].c_str(), NULL, 0) : 0;
    return true;
}

bool TakeBusyAnswer()
{
    MachineLock lock;
    int busy = LoadFaults().busy;
    std::map<std::string, std::string> fired = ReadKeys(FIRED_FILE);
    int taken = fired.count(BUSY_TAKEN) ? ToInt(fired[BUSY_TAKEN]) : 0;
    if (taken >= busy)
        return false;
    fired[BUSY_TAKEN] = std::to_string(taken + 1);
    WriteKeys(FIRED_FILE, fired);
    return true;
}

}  // namespace linksim
