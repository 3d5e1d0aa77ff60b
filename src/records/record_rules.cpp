#include "records/record_rules.h"
