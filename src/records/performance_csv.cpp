#include "records/performance_csv.h"
