#include "service/Probe.h"

#include "logging/ErrorText.h"
#include "logging/Logger.h"
#include "service/HttpProbe.h"
#include "service/TcpProbe.h"

namespace {
const Logger logger(L"Probe");
}

std::unique_ptr<Probe> makeProbe(const ProbeTarget& target, DWORD timeoutMs)
{
    if (target.kind == ProbeTarget::Kind::Tcp) {
        std::unique_ptr<TcpProbe> probe(new TcpProbe(target));
        if (probe->isValid()) {
            return probe;
        }
    } else {
        std::unique_ptr<HttpProbe> probe(new HttpProbe(target, timeoutMs));
        if (probe->isValid()) {
            return probe;
        }
    }
    logger.error(L"Failed to prepare the probe %s. %s", target.name(), lastErrorText());
    return nullptr;
}
