#include "game/gamestate.h"

GameState GameStateBlock;
SetupRecordT SetupRecord;
