#include "records/player.h"
