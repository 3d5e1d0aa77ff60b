#include "records/record_book.h"
