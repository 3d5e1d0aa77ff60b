#include "records/record_statistics.h"
