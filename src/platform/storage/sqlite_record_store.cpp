#include "platform/storage/sqlite_record_store.h"
