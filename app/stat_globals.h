// The process-wide statistics client and its settings record. The entry
// point creates the client, initialises it and fills five settings before the
// windows run; the install engine reports the product's installation through
// it from the worker thread. Both stay null until the entry point sets them;
// a null client makes every report a no-op.
#pragma once

#include "stat/IZrStat.h"

extern ns_zr_stat::IZrStat* g_statClient;
extern ns_zr_stat::tagSTAT_CONFIG* g_statSettings;
