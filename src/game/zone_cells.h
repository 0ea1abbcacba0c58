#pragma once
// Where zone loading meets cell streaming: streaming's three cell hooks (prepare a map's
// assets, create and remove a cell's props in the current world) and the cell listener that
// hands streaming every cell the loader preloaded, so that after the swap its table holds
// them as loaded and it streams on from there.
void zone_cells_install(void);
void zone_cells_uninstall(void);
