// An in-memory registry behind the calls of registry.h, for in-process
// tests: it refuses chosen operations on chosen keys, records every call with
// its arguments, and counts the handles still open.
#pragma once

#include "registry.h"

#include <string>
#include <vector>

namespace fake_registry {

enum class Op { Open, Create, Delete };

void Reset();

// Paths are relative to HKEY_USERS, backslash-separated; missing keys on the
// way are added too.
void AddKey(const std::string& path);
void AddValue(const std::string& keyPath, const std::string& valueName);

// Makes op on the key at path (compared ignoring ASCII case) fail with status.
// For Delete the path is that of the key being deleted.
void Refuse(Op op, const std::string& path, LONG status = ERROR_ACCESS_DENIED);
// Makes enumeration of HKEY_USERS fail from this index on.
void FailEnumerationFrom(DWORD index, LONG status = ERROR_ACCESS_DENIED);

// Every key as its path, in registry order, depth first.
std::vector<std::string> Keys();
// Every call, one line each: name, the handle as the path it stands for,
// the arguments that matter and the status.
const std::vector<std::string>& Calls();
// Handles opened and not yet closed.
int OpenHandles();
// Arguments other than those the program must pass, use of closed or
// unknown handles: each a line, empty when all was well.
const std::vector<std::string>& Misuse();

} // namespace fake_registry
