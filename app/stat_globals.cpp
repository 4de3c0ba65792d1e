// The process-wide statistics client pointers (see stat_globals.h).
#include "app/stat_globals.h"

ns_zr_stat::IZrStat* g_statClient = nullptr;
ns_zr_stat::tagSTAT_CONFIG* g_statSettings = nullptr;
