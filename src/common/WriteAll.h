#pragma once

#include <windows.h>

#include <cstddef>

// Writes all `size` bytes, in as many WriteFile calls as the handle takes;
// false on the first that fails or writes nothing.
bool writeAll(HANDLE file, const void* data, size_t size);
