#pragma once
// The copy's figures for monitoring (Prometheus, and Grafana over it), in the Prometheus text
// format: what the send loop counted, and the state of the source and the overlay now.

#include "control/api_reply.h"

namespace vantor {

struct CopyParts;

ApiReply MetricsReply(const CopyParts& parts);

}  // namespace vantor
