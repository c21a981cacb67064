#pragma once

#include <string>

class ProgramSnapshot;

// The service's metrics in the Prometheus text format (version 0.0.4): each
// family with its HELP and TYPE lines and a `service` label, lines ended by
// LF. `ready`: the service counts as running. Without `program` (a service
// that keeps no state file) only hostwell_ready and hostwell_info are known;
// hostwell_health needs a verdict of the health check, and the last exit code
// and start time a run that ended or started.
std::wstring prometheusText(const std::wstring& service, bool ready, const ProgramSnapshot* program);
