#pragma once

// When a log file rolls over and which backups it keeps.
struct RollPolicy {
    enum class Roll { Size, Daily };

    long long maxSize = 3145728;
    int keep = 3;
    // Daily: also rolls with the first record of a new local day, and names
    // its backups by the day of their records.
    Roll roll = Roll::Size;
    // Each new backup is compressed into name.gz, off the writing path.
    bool compress = false;

    bool operator==(const RollPolicy& other) const
    {
        return maxSize == other.maxSize && keep == other.keep && roll == other.roll && compress == other.compress;
    }
};
