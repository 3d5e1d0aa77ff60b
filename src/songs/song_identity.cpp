#include "songs/song_identity.h"
