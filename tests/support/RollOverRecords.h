#pragma once

#include <stddef.h>

#include <string>

#include "logging/RollFileWriter.h"
#include "logging/RollPolicy.h"

// Numbered records of about 1 KiB written until a log rolls over, and the
// number each file then begins with.

// The size at which a log rolls over when nothing else is set.
const size_t MAX_SIZE = 3145728;

size_t fileSize(const std::wstring& path);

// Rolls over at 64 KiB and keeps `keep` backups.
RollPolicy smallFiles(int keep = 3);

// Writes records until the live file has been cut once and its backups have
// moved; the number of the next record.
int writeUntilRolled(RollFileWriter& writer, const std::wstring& file, int record);

// The number of the first record in `content`, -1 when it has none.
int firstRecordNumber(const std::string& content);
