#include "records/records_directory.h"
