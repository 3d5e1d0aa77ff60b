#pragma once
// The players and performances in an SQLite file of the player's data.
