// Connects the tile tree's walk to the display's zones, frame buffer and draw handlers.
#pragma once

void tile_walk_install();
